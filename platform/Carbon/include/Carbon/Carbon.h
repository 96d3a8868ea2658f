// Carbon of the simulated Mac: one header for the application, as on the platform.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <MacTypes.h>

#if __has_include(<CarbonCore/MacMemory.h>)
#include <CarbonCore/MacMemory.h>
#endif
#if __has_include(<CarbonCore/Files.h>)
#include <CarbonCore/Files.h>
#endif
#if __has_include(<CarbonCore/Resources.h>)
#include <CarbonCore/Resources.h>
#endif
#if __has_include(<CarbonCore/Gestalt.h>)
#include <CarbonCore/Gestalt.h>
#endif
#if __has_include(<CarbonCore/TextUtils.h>)
#include <CarbonCore/TextUtils.h>
#endif
#if __has_include(<HIToolbox/Quickdraw.h>)
#include <HIToolbox/Quickdraw.h>
#endif
#if __has_include(<HIToolbox/CarbonEvents.h>)
#include <HIToolbox/CarbonEvents.h>
#endif
#if __has_include(<HIToolbox/MacWindows.h>)
#include <HIToolbox/MacWindows.h>
#endif
#if __has_include(<HIToolbox/Controls.h>)
#include <HIToolbox/Controls.h>
#endif
#if __has_include(<HIToolbox/Menus.h>)
#include <HIToolbox/Menus.h>
#endif
#if __has_include(<HIToolbox/IBCarbonRuntime.h>)
#include <HIToolbox/IBCarbonRuntime.h>
#endif
#if __has_include(<HIToolbox/Dialogs.h>)
#include <HIToolbox/Dialogs.h>
#endif
#if __has_include(<LaunchServices/LaunchServices.h>)
#include <LaunchServices/LaunchServices.h>
#endif
