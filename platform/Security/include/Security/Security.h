// The Security framework of the simulated Mac: Authorization Services only.
#pragma once

#include <Security/Authorization.h>
