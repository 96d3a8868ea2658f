// A stand-in StatusMenu for the bridge's failure paths, built in several forms: without
// "checkALKEItem", with an initializeBundle that fails, or needing a symbol that nothing defines
// (so that it cannot be loaded at all). It counts the calls of initializeBundle.
#include "BundleCommands.h"

#define TEST_BUNDLE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef TEST_BUNDLE_INITIALIZE_RESULT
#define TEST_BUNDLE_INITIALIZE_RESULT 0
#endif

namespace {
int initializeCalls = 0;
} // namespace

#ifdef TEST_BUNDLE_UNRESOLVED
extern "C" void kreloedTestSymbolThatNothingDefines();
#endif

TEST_BUNDLE_EXPORT int testBundleInitializeCalls() {
    return initializeCalls;
}

TEST_BUNDLE_EXPORT SInt32 initializeBundle(BundleCommandCallback) {
#ifdef TEST_BUNDLE_UNRESOLVED
    kreloedTestSymbolThatNothingDefines();
#endif
    ++initializeCalls;
    return TEST_BUNDLE_INITIALIZE_RESULT;
}

TEST_BUNDLE_EXPORT SInt32 insertMenu() {
    return 0;
}
TEST_BUNDLE_EXPORT SInt32 removeMenu() {
    return 0;
}
TEST_BUNDLE_EXPORT SInt32 setMenuItemClk(const void*) {
    return 0;
}
TEST_BUNDLE_EXPORT SInt32 setLOADItem(SInt32*) {
    return 0;
}
TEST_BUNDLE_EXPORT SInt32 checkAUSRItem(SInt32*) {
    return 0;
}
TEST_BUNDLE_EXPORT SInt32 checkSDEFItem(SInt32*) {
    return 0;
}
TEST_BUNDLE_EXPORT SInt32 checkSUSRItem(SInt32*) {
    return 0;
}
#ifndef TEST_BUNDLE_WITHOUT_CHECKALKE
TEST_BUNDLE_EXPORT SInt32 checkALKEItem(SInt32*) {
    return 0;
}
#endif
TEST_BUNDLE_EXPORT SInt32 enableALLItems(SInt32*) {
    return 0;
}
