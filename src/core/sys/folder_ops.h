// Folder names and folder creation: the trailing "/" rule, the cleaning of folder names
// typed by users or read from settings, and the creation of a folder level by level.
#pragma once

#include <string>
#include <string_view>

namespace ks {

class ErrorHandler;
class TraceSink;

// `folder` with one "/" added when it does not end with one; "" stays "".
std::string CheckRep(std::string_view folder);

// `folder` with the characters a folder name cannot hold removed: "\", "*", "?", the double
// quote, "<", ">", "|" and "," become blanks; "...", ".." and "%" go; after the first two
// characters ":" becomes a blank and three blanks one; no blank before a "/"; trimmed.
std::string NettoieNomDeDossier(std::string_view folder);

class FolderOps {
  public:
    FolderOps(TraceSink& trace, ErrorHandler& errors) : m_trace(trace), m_errors(errors) {}

    // Cleans the name, then creates every missing level of the folder (never the server and
    // share of a "//server/share/" path, never a level holding "$"). With `report`, each
    // level that cannot be created is traced as "Folder '<level>' not found".
    // True when the whole folder exists at the end.
    bool VerificationEtCreationRepertoire(std::string_view folder, bool report = true);

  private:
    TraceSink& m_trace;
    ErrorHandler& m_errors;
};

}  // namespace ks
