// The Outlook stand-in's record of its checks: one line per check, PASS or
// FAIL with what was seen, and a closing count.  Not thread-safe; the
// stand-in runs on one thread.
#pragma once

#include <cstdio>
#include <string>

class CheckLog {
 public:
  // Records one check; answers ok so a caller can stop on a failure.
  bool Expect(bool ok, const std::string& what,
              const std::string& seen = std::string()) {
    if (ok) {
      ++passed_;
      std::printf("PASS %s\n", what.c_str());
    } else {
      ++failed_;
      std::printf("FAIL %s%s%s\n", what.c_str(), seen.empty() ? "" : ": ",
                  seen.c_str());
    }
    std::fflush(stdout);
    return ok;
  }
  template <typename T>
  bool ExpectEq(const T& expected, const T& actual, const std::string& what) {
    return Expect(expected == actual, what,
                  "expected " + Show(expected) + ", got " + Show(actual));
  }
  void Section(const char* title) {
    std::printf("-- %s\n", title);
    std::fflush(stdout);
  }
  // Prints the closing line; answers the process exit code.
  int Finish() const {
    std::printf("%d passed, %d failed\n", passed_, failed_);
    std::fflush(stdout);
    return failed_ == 0 && passed_ > 0 ? 0 : 1;
  }
  int Failed() const { return failed_; }

  static std::string Show(const std::string& text) { return "\"" + text + "\""; }
  static std::string Show(const char* text) { return Show(std::string(text)); }
  static std::string Show(long long value) { return std::to_string(value); }
  static std::string Show(int value) { return std::to_string(value); }
  static std::string Show(unsigned value) { return std::to_string(value); }
  static std::string Show(long value) {  // HRESULT, LONG on Windows
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
  }
  static std::string Show(unsigned long value) {  // DWORD on Windows
    return std::to_string(value);
  }
  static std::string Show(bool value) { return value ? "true" : "false"; }

 private:
  int passed_ = 0;
  int failed_ = 0;
};
