#include <sys/stat.h>
#include <string>
#include <unistd.h>

#include "cli/commands.h"
#include "common/file.h"
#include "common/file_text.h"
#include "document/parse.h"
#include "extract/extract.h"

namespace qeld::cli {

namespace {

// True when both paths name one existing regular file (the same device and inode).
bool same_regular_file(std::string_view a, std::string_view b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(std::string(a).c_str(), &sa) != 0 || ::stat(std::string(b).c_str(), &sb) != 0) return false;
    return S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

ExitStatus extract(std::string_view document_path, std::string_view schema_path, Writer& out, Writer& err) {
    auto file = FileText::read(document_path);
    if (!file) {
        err.write(file.error() + "\n");
        return 1;
    }
    auto table = doc::parse(*file);
    if (!table) {
        err.write(std::string(document_path) + ": " + table.error() + "\n");
        return 1;
    }
    // Writing the schema over the document would destroy the document it was inferred from.
    if (same_regular_file(document_path, schema_path)) {
        err.write(std::string(schema_path) + ": refusing to overwrite the document being extracted\n");
        return 2;
    }
    // Built whole before the schema path is touched.
    const std::string schema_text = extract::generate_schema(*table);
    if (auto written = write_whole_file(schema_path, schema_text); !written) {
        err.write(written.error() + "\n");
        return 2;
    }
    out.write("Extracted schema to " + std::string(schema_path) + "\n");
    return 0;
}

}  // namespace qeld::cli
