// SPDX-License-Identifier: GPL-3.0-or-later
#include "access_list_windows.h"

#include <aclapi.h>

#include <memory>
#include <vector>

namespace private_file {
namespace {

struct LocalFreer
{
    void operator()(void *memory) const { LocalFree(memory); }
};

// The TOKEN_USER of the process, which holds the user's SID; empty when it cannot be read.
std::vector<unsigned char> ProcessUser()
{
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || GetTokenInformation(token, TokenUser, user.data(), size, &size) == 0) {
        user.clear();
    }
    CloseHandle(token);
    return user;
}

PSID UserSid(std::vector<unsigned char> &user)
{
    return reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
}

constexpr DWORD kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

} // namespace

DWORD GrantUserAlone(const wchar_t *path)
{
    std::vector<unsigned char> user = ProcessUser();
    if (user.empty()) {
        return GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_SID;
    }
    EXPLICIT_ACCESSW entry{};
    entry.grfAccessPermissions = FILE_ALL_ACCESS;
    entry.grfAccessMode = SET_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_USER;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(UserSid(user));
    PACL list = nullptr;
    if (const DWORD error = SetEntriesInAclW(1, &entry, nullptr, &list); error != ERROR_SUCCESS) {
        return error;
    }
    const std::unique_ptr<ACL, LocalFreer> owned(list);
    // Protected, so that the folder's inheritable entries are not merged in, now or when the
    // folder's list changes later. SetFileSecurityW sets the list as given: Wine's
    // SetNamedSecurityInfoW merges the folder's entries in all the same.
    SECURITY_DESCRIPTOR descriptor;
    if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) == 0 ||
        SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) == 0 ||
        SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED) == 0 ||
        SetFileSecurityW(path, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                         &descriptor) == 0) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

bool OthersMayRead(const wchar_t *path)
{
    std::vector<unsigned char> user = ProcessUser();
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() || GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, &list, nullptr,
                                              &descriptor) != ERROR_SUCCESS) {
        return true;
    }
    const std::unique_ptr<void, LocalFreer> owned(descriptor);
    if (list == nullptr) {
        return true;
    }
    for (DWORD index = 0; index < list->AceCount; ++index) {
        void *entry = nullptr;
        if (GetAce(list, index, &entry) == 0) {
            return true;
        }
        const auto *header = static_cast<const ACE_HEADER *>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue; // only allowing entries grant reading
        }
        auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        // The system's own account is no other user: it reads every file regardless.
        PSID grantee = &allowed->SidStart;
        if ((allowed->Mask & kReadRights) != 0 && EqualSid(grantee, UserSid(user)) == 0 &&
            IsWellKnownSid(grantee, WinLocalSystemSid) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace private_file
