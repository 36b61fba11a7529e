#include <gtest/gtest.h>

// Under AddressSanitizer the leak check runs here, while the GL driver is still loaded: at exit
// the driver is already unloaded, its frames cannot be named and tests/lsan.supp cannot match.
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
