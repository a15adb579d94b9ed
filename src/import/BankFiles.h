#pragma once
// The files of a voice bank folder, read only inside it.
//
// A downloaded bank names its files in text (oto.ini lines, readme.txt, character.txt) and
// may carry links. None of that may pull in a file from outside the folder: a name with a
// ".." part or an absolute name is refused before the disk is looked at, a link is followed
// only while it stays inside the folder, and only regular files are read (a folder, a named
// pipe or a device is reported as what it is). Names are found ignoring ASCII case, the way
// the file systems banks are made on do, with '/' or '\\' between parts.
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kantor {

enum class BankFileKind {
    File,        // a regular file inside the bank
    Missing,     // no such file
    Outside,     // the name, or a link on the way, leads out of the bank folder
    Folder,      // a folder
    Pipe,        // a named pipe (FIFO)
    Device,      // a character or block device
    Socket,      // a socket
    Unreadable,  // the file system refused to tell (`error` holds the errno)
};
// "a folder", "a named pipe (FIFO)", ... for the summary; "" for File and Missing.
const char* bankFileKindText(BankFileKind kind);

struct BankFile {
    BankFileKind kind = BankFileKind::Missing;
    std::filesystem::path path;  // with links resolved (File only)
    int error = 0;               // errno for Unreadable
};

class BankFolder {
public:
    // The folder with its links resolved. False with the reason when it is not a folder.
    bool open(const std::string& folder, std::string& error);
    const std::filesystem::path& root() const { return root_; }

    // A file that bank text names, relative to `from` (a folder of the bank).
    BankFile find(const std::filesystem::path& from, std::string_view written);
    // A file of the bank by its exact path (the oto.ini files found by listing, readme.txt).
    BankFile check(const std::filesystem::path& path) const;
    // A file of the root folder by name, ignoring case; kind Missing when there is none.
    BankFile rootFile(const std::string& name);
    // Whether `path` (which need not exist) lies in the bank folder, links resolved as far
    // as they exist.
    bool contains(const std::string& path) const;

private:
    std::string findInFolder(const std::filesystem::path& folder, const std::string& name);
    std::filesystem::path root_;
    // The names of each folder looked into: lower-case name, name.
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> listings_;
    std::map<std::pair<std::string, std::string>, BankFile> found_;
};

// Opens a file that check() or find() gave for reading, refusing a link put in its place
// since then and anything but a regular file, never blocking on a pipe. -1 with errno set
// on failure (EINVAL for a file that is not regular).
int openBankFile(const std::filesystem::path& path);

// The text of a bank file as printed on one line: control bytes, DEL and bytes that are
// not UTF-8 written as \xNN, cut after `longest` bytes with the whole size given
// ("… (1048576 bytes)").
std::string printableBankText(std::string_view text, std::size_t longest = 200);

}  // namespace kantor
