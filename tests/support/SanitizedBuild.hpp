#pragma once

// MVK_TEST_SANITIZED is 1 in a build under AddressSanitizer or
// ThreadSanitizer, where timing-bound tests allow more time.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MVK_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MVK_TEST_SANITIZED 1
#endif
#endif
