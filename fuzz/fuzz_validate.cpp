// Validates arbitrary bytes as a document against each schema of a small committed set.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "common/utf8.h"
#include "document/parse.h"
#include "schema/model.h"

namespace {

std::vector<qeld::schema::Schema> load_schemas() {
    std::vector<std::filesystem::path> paths;
    for (auto& entry : std::filesystem::directory_iterator(QELD_FUZZ_SCHEMAS)) {
        if (entry.path().extension() == ".qeld") paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<qeld::schema::Schema> schemas;
    for (const auto& path : paths) {
        std::ifstream in(path);
        std::stringstream ss;
        ss << in.rdbuf();
        auto schema = qeld::schema::Schema::from_source(path.string(), ss.str());
        if (!schema) {
            std::fprintf(stderr, "fuzz schema %s does not load: %s\n", path.c_str(), schema.error().c_str());
            std::abort();
        }
        schemas.push_back(std::move(schema).value());
    }
    return schemas;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<qeld::schema::Schema> schemas = load_schemas();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!qeld::is_valid_utf8(text)) return 0;
    auto document = qeld::doc::parse(text);
    if (!document) return 0;
    for (const auto& schema : schemas) (void)schema.validate(*document);
    return 0;
}
