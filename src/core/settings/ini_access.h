// The program's access to its INI files: read one value, write one value, list a section.
// Nothing is cached between calls: every call reads the file afresh, and every write replaces
// the file at once (see whole_file.h), so that several files can be used in any order and a
// crash never leaves a half-written settings file. None of them fails towards the caller: a
// bad name or a missing file gives the default value or an empty list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ks {

class ErrorHandler;
class FileOps;
class FolderOps;

// The longest value a read returns: the profile functions read into 255 characters, one of
// them for the terminating NUL.
inline constexpr std::size_t kIniValueMax = 254;

class IniAccess {
  public:
    IniAccess(ErrorHandler& errors, FileOps& files, FolderOps& folders)
        : m_errors(errors), m_files(files), m_folders(folders) {}

    // The value of `key` in `section` of `file` (blanks around it and one pair of enclosing
    // quotes removed, at most 254 characters), or `defaultValue` for a missing file, section
    // or key (without its trailing blanks and cut to 254 characters, as it comes through the
    // same buffer). A name holding "*", "?", "\"" or "|" gives `defaultValue` untouched.
    // A failure gives "".
    std::string LectureIni(std::string_view file, std::string_view section, std::string_view key,
                           std::string_view defaultValue);

    // LectureIni over the bytes of a file read elsewhere (a file of the server, read through
    // the share's bounded calls).
    std::string ValueInText(std::string_view bytes, std::string_view section, std::string_view key,
                            std::string_view defaultValue);

    // Stores `value` under `key` of `section` in `file`, creating the file, the section or
    // the key as needed. When the first write fails it creates the file's folder and tries
    // again, then clears the file's read-only attribute and tries once more. False when
    // nothing was stored: a blank section or key, an unacceptable file name, a text holding
    // a line break (it would start a new key or section), or every attempt failed.
    bool EcritureIni(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value);

    // The entries of `section` as "key=value" lines in file order (comment and blank lines
    // left out), with `count` set to their number; empty with 0 when the file or the section
    // is missing.
    std::vector<std::string> LectureIniListeDesClesDansUneSection(std::string_view file,
                                                                  std::string_view section,
                                                                  std::int32_t& count);

    // False when `name` holds one of "*", "?", the double quote and "|"; any other text,
    // the empty one included, is acceptable.
    bool NomFichierCorrect(std::string_view name);

  private:
    bool WriteOnce(std::string_view file, std::string_view section, std::string_view key,
                   std::string_view value);

    ErrorHandler& m_errors;
    FileOps& m_files;
    FolderOps& m_folders;
};

}  // namespace ks
