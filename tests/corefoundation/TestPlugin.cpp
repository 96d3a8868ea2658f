// The executable of the bundles that the tests make: one function to find by name.
extern "C" __attribute__((visibility("default"))) int macsimTestAnswer() {
    return 42;
}
