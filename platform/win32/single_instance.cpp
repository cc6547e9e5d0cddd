#include "platform/win32/single_instance.h"

#include <sddl.h>

#include <string>
#include <vector>

#include "platform/failure.h"

namespace tllink::platform::win32 {

namespace {

// The current user's SID as text, e.g. "S-1-5-21-...".
std::wstring CurrentUserSid() {
  HANDLE raw_token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw_token)) {
    throw Failure(u"無法取得使用者身分");
  }
  const UniqueKernelHandle token(raw_token);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
    throw Failure(u"無法取得使用者身分");
  }
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  wchar_t* raw_text = nullptr;
  if (!ConvertSidToStringSidW(user->User.Sid, &raw_text)) throw Failure(u"無法取得使用者身分");
  const UniqueLocal text(raw_text);
  return raw_text;
}

}  // namespace

bool SingleInstance::AnotherInstanceRunning() {
  if (!mutex_) {
    // Appended rather than prefixed: GCC 14's libstdc++ takes a prefix through code of its
    // own library that links in all of std::wstring's (22 KB of a 300 KB program).
    std::wstring name = L"Local\\tllink-";
    name += CurrentUserSid();
    mutex_.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex_) throw Failure(u"無法檢查程式是否已在執行");
    another_instance_ = GetLastError() == ERROR_ALREADY_EXISTS;
  }
  return another_instance_;
}

}  // namespace tllink::platform::win32
