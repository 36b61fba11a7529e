#include <gtest/gtest.h>

// Under AddressSanitizer the leak check runs before main returns, while the GL driver is still
// loaded: once the driver is unloaded at exit its frames have no module name, and the X/Mesa
// entries of tests/lsan.supp cannot match them.
#if defined(__SANITIZE_ADDRESS__)
#define ZEL_EARLY_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEL_EARLY_LEAK_CHECK 1
#endif
#endif

#if defined(ZEL_EARLY_LEAK_CHECK)
#include <sanitizer/lsan_interface.h>
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
#if defined(ZEL_EARLY_LEAK_CHECK)
    __lsan_do_leak_check();
#endif
    return result;
}
