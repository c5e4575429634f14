// A registry and a file system that hand every call to others and make one chosen call throw
// std::bad_alloc, as an allocation failing inside the backend would. Both count their calls on
// one countdown, so a test can make each call of an operation throw in turn.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "tests/unit/forwarding_file_system.h"

namespace tessaly::testing {

class ThrowCountdown {
 public:
  // Counts calls from now on; call number `call` (1 = the next) throws, 0 = none does.
  void Arm(int call) {
    at_ = call;
    calls_ = 0;
    fired_ = false;
  }
  void Disarm() { Arm(0); }
  void Count() {
    if (++calls_ == at_) {
      fired_ = true;
      throw std::bad_alloc();
    }
  }
  int Calls() const { return calls_; }
  bool Fired() const { return fired_; }

 private:
  int at_ = 0;
  int calls_ = 0;
  bool fired_ = false;
};

// Counts OpenKey and CreateKey and every call on the keys they give (and on their subkeys).
class ThrowingRegistry : public Registry {
 public:
  ThrowingRegistry(Registry& inner, ThrowCountdown& countdown)
      : inner_(inner), countdown_(countdown) {}

  ErrorCode OpenKey(RegRoot root, std::wstring_view path, uint32_t accessMask,
                    std::unique_ptr<RegistryKey>& out) override {
    countdown_.Count();
    return Wrap(inner_.OpenKey(root, path, accessMask, out), out, countdown_);
  }
  ErrorCode CreateKey(RegRoot root, std::wstring_view path, std::wstring_view keyClass,
                      uint32_t accessMask, std::unique_ptr<RegistryKey>& out,
                      bool* created = nullptr) override {
    countdown_.Count();
    return Wrap(inner_.CreateKey(root, path, keyClass, accessMask, out, created), out, countdown_);
  }

 private:
  class Key : public RegistryKey {
   public:
    Key(std::unique_ptr<RegistryKey> inner, ThrowCountdown& countdown)
        : inner_(std::move(inner)), countdown_(countdown) {}
    ErrorCode OpenSubKey(std::wstring_view path, uint32_t accessMask,
                         std::unique_ptr<RegistryKey>& out) override {
      countdown_.Count();
      return Wrap(inner_->OpenSubKey(path, accessMask, out), out, countdown_);
    }
    ErrorCode CreateSubKey(std::wstring_view path, std::wstring_view keyClass, uint32_t accessMask,
                           std::unique_ptr<RegistryKey>& out, bool* created = nullptr) override {
      countdown_.Count();
      return Wrap(inner_->CreateSubKey(path, keyClass, accessMask, out, created), out, countdown_);
    }
    ErrorCode DeleteSubKey(std::wstring_view name, uint32_t accessMask) override {
      countdown_.Count();
      return inner_->DeleteSubKey(name, accessMask);
    }
    ErrorCode EnumKey(uint32_t index, std::wstring& name, std::wstring* keyClass = nullptr,
                      FileTime* lastWrite = nullptr) override {
      countdown_.Count();
      return inner_->EnumKey(index, name, keyClass, lastWrite);
    }
    ErrorCode EnumValue(uint32_t index, std::wstring& name, uint32_t* type = nullptr,
                        std::vector<uint8_t>* data = nullptr) override {
      countdown_.Count();
      return inner_->EnumValue(index, name, type, data);
    }
    ErrorCode QueryInfo(RegKeyInfo& info) override {
      countdown_.Count();
      return inner_->QueryInfo(info);
    }
    ErrorCode QueryValue(std::wstring_view name, uint32_t* type,
                         std::vector<uint8_t>* data) override {
      countdown_.Count();
      return inner_->QueryValue(name, type, data);
    }
    ErrorCode SetValue(std::wstring_view name, uint32_t type, const uint8_t* data,
                       size_t size) override {
      countdown_.Count();
      return inner_->SetValue(name, type, data, size);
    }
    ErrorCode DeleteValue(std::wstring_view name) override {
      countdown_.Count();
      return inner_->DeleteValue(name);
    }

   private:
    std::unique_ptr<RegistryKey> inner_;
    ThrowCountdown& countdown_;
  };

  static ErrorCode Wrap(ErrorCode result, std::unique_ptr<RegistryKey>& key,
                        ThrowCountdown& countdown) {
    if (key) key = std::make_unique<Key>(std::move(key), countdown);
    return result;
  }

  Registry& inner_;
  ThrowCountdown& countdown_;
};

// Counts the calls that look at, create, read and write files and folders.
class ThrowingFileSystem : public ForwardingFileSystem {
 public:
  ThrowingFileSystem(FileSystem& inner, ThrowCountdown& countdown)
      : ForwardingFileSystem(inner), countdown_(countdown) {}

  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    countdown_.Count();
    return inner_.FindFiles(pattern, visit);
  }
  ErrorCode GetAttributes(std::wstring_view p, uint32_t& a) override {
    countdown_.Count();
    return inner_.GetAttributes(p, a);
  }
  ErrorCode CreateFolder(std::wstring_view p) override {
    countdown_.Count();
    return inner_.CreateFolder(p);
  }
  uint32_t GetDriveType(std::wstring_view r) override {
    countdown_.Count();
    return inner_.GetDriveType(r);
  }
  ErrorCode ReadFile(std::wstring_view p, uint64_t o, size_t n,
                     std::vector<uint8_t>& out) override {
    countdown_.Count();
    return inner_.ReadFile(p, o, n, out);
  }
  ErrorCode WriteFile(std::wstring_view p, const uint8_t* d, size_t n) override {
    countdown_.Count();
    return inner_.WriteFile(p, d, n);
  }

 private:
  ThrowCountdown& countdown_;
};

// Runs `operation` (which returns an ErrorCode) with call 1, 2, ... throwing until a run ends
// before the armed call; every run that threw must have given 1359 and `afterThrow` is called
// after it. Returns the number of calls of the run that did not throw.
template <class Operation, class AfterThrow>
int ThrowAtEachCall(ThrowCountdown& countdown, Operation&& operation, AfterThrow&& afterThrow) {
  for (int call = 1;; ++call) {
    countdown.Arm(call);
    const ErrorCode result = operation();
    if (!countdown.Fired()) {
      const int calls = countdown.Calls();
      countdown.Disarm();
      return calls;
    }
    EXPECT_EQ(result, err::InternalError) << "call " << call << " threw";
    afterThrow(call);
  }
}

}  // namespace tessaly::testing
