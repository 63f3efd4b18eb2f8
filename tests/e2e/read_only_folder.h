// A folder without write access, for the end-to-end tests of programs started
// in one. Under Wine the tests run as root, whom neither Unix permissions nor a
// folder's read-only attribute stop (Windows ignores that attribute on folders
// anyway), so the Linux directory is made immutable (`chattr +i`): no file can
// be created, renamed or deleted in it, by anyone. On Windows an access-control
// entry denies adding and deleting files to everyone. Either way the denial is
// checked by trying to create a file, never assumed.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::wstring path);
    ~ReadOnlyFolder();  // gives the write access back
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // Whether creating a file in the folder really fails now.
    bool Denies() const { return denies_; }
    // How the denial was made, or why it could not be: for test messages.
    const std::string& How() const { return how_; }
    // Gives the write access back (also done on destruction).
    void Lift();

private:
    bool ProbeDenied() const;
    bool ChangeImmutable(bool on);
    bool DenyByAccessControl();

    std::wstring path_;
    std::string how_;
    bool denies_ = false;
    bool immutable_ = false;
    PSECURITY_DESCRIPTOR savedSecurity_ = nullptr;  // the folder's own access list, while denied
    PACL savedAcl_ = nullptr;
};

}  // namespace e2e
