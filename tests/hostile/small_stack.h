// Runs a test body on a thread with a small stack (1 MiB), so that any code
// under it that recurses once per level of a deep tree overflows at once
// instead of depending on how large the main thread's stack happens to be.
#pragma once

#include <pthread.h>

#include <functional>

#include <gtest/gtest.h>

inline void RunOnSmallStack(const std::function<void()>& body) {
  pthread_attr_t attributes;
  ASSERT_EQ(0, pthread_attr_init(&attributes));
  ASSERT_EQ(0, pthread_attr_setstacksize(&attributes, 1 << 20));
  pthread_t thread;
  auto entry = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  ASSERT_EQ(0, pthread_create(&thread, &attributes, entry,
                              const_cast<std::function<void()>*>(&body)));
  pthread_attr_destroy(&attributes);
  ASSERT_EQ(0, pthread_join(thread, nullptr));
}
