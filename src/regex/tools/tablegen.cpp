// Build-time generator of the pattern engine's Unicode tables: reads the Unicode Character
// Database files and writes the C++ definitions that unicode_tables.h declares.
//
//   tablegen <ucd-directory> <output.cpp>
//
// The directory is laid out as Debian's unicode-data package installs it: the main files at its
// top, auxiliary/ (break properties), emoji/ (emoji-data.txt) and extracted/.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "regex/loose_name.h"

namespace {

using Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
constexpr std::uint32_t max_code_point = 0x10FFFF;

[[noreturn]] void die(const std::string& message) {
    std::cerr << "tablegen: " << message << "\n";
    std::exit(1);
}

std::string trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// The ';'-separated fields of every data line of a file, comments removed.
std::vector<std::vector<std::string>> read_fields(const std::string& path) {
    std::ifstream in(path);
    if (!in) die("cannot read " + path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        if (trim(line).empty()) continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, ';')) fields.push_back(trim(field));
        rows.push_back(std::move(fields));
    }
    return rows;
}

std::pair<std::uint32_t, std::uint32_t> parse_code_points(const std::string& text) {
    std::size_t dots = text.find("..");
    auto hex = [&](const std::string& digits) {
        char* end = nullptr;
        unsigned long value = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || *end != '\0' || value > max_code_point) die("bad code point " + text);
        return static_cast<std::uint32_t>(value);
    };
    if (dots == std::string::npos) {
        std::uint32_t cp = hex(text);
        return {cp, cp};
    }
    return {hex(text.substr(0, dots)), hex(text.substr(dots + 2))};
}

Ranges canonical(Ranges ranges) {
    std::sort(ranges.begin(), ranges.end());
    Ranges out;
    for (const auto& range : ranges) {
        if (!out.empty() && range.first <= out.back().second + 1) {
            out.back().second = std::max(out.back().second, range.second);
        } else {
            out.push_back(range);
        }
    }
    return out;
}

Ranges unite(const std::vector<const Ranges*>& parts) {
    Ranges all;
    for (const Ranges* part : parts) all.insert(all.end(), part->begin(), part->end());
    return canonical(std::move(all));
}

Ranges complement(const Ranges& ranges) {
    Ranges out;
    std::uint32_t next = 0;
    for (const auto& [first, last] : ranges) {
        if (first > next) out.push_back({next, first - 1});
        next = last + 1;
    }
    if (next <= max_code_point) out.push_back({next, max_code_point});
    return out;
}

// Property value -> code points, from a file whose rows are "code points ; value".
std::map<std::string, Ranges> read_property_file(const std::string& path) {
    std::map<std::string, Ranges> values;
    for (const auto& fields : read_fields(path)) {
        if (fields.size() != 2) continue;  // e.g. the enumerated InCB rows of later versions
        values[fields[1]].push_back(parse_code_points(fields[0]));
    }
    for (auto& [name, ranges] : values) ranges = canonical(std::move(ranges));
    return values;
}

// The aliases of one property's values: canonical (long) name -> every alias, long name included.
struct ValueAliases {
    std::vector<std::string> order;  // long names in file order
    std::map<std::string, std::vector<std::string>> aliases;
    std::map<std::string, std::string> long_of_short;
};

std::map<std::string, ValueAliases> read_value_aliases(const std::string& path) {
    std::map<std::string, ValueAliases> properties;
    for (const auto& fields : read_fields(path)) {
        if (fields.size() < 3) continue;
        const std::string& property = fields[0];
        if (property == "ccc") continue;  // numeric first field; not a property patterns name
        ValueAliases& values = properties[property];
        const std::string& long_name = fields[2];
        values.order.push_back(long_name);
        values.long_of_short[fields[1]] = long_name;
        for (std::size_t i = 1; i < fields.size(); ++i) values.aliases[long_name].push_back(fields[i]);
    }
    return properties;
}

// Writes the range pool, sharing the storage of identical sets.
class Pool {
public:
    std::string add(const Ranges& ranges) {
        auto found = offsets_.find(ranges);
        std::uint32_t offset;
        if (found != offsets_.end()) {
            offset = found->second;
        } else {
            offset = static_cast<std::uint32_t>(bytes_.size());
            std::uint32_t next = 0;
            for (const auto& [first, last] : ranges) {
                put(first - next);
                put(last - first);
                next = last + 1;
            }
            offsets_.emplace(ranges, offset);
        }
        return "{" + std::to_string(offset) + ", " + std::to_string(ranges.size()) + "}";
    }

    // Each range as two LEB128 numbers: its distance from the end of the one before (or from 0),
    // then its length less one.
    void write(std::ostream& out) const {
        out << "constexpr std::uint8_t pool[] = {\n";
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            out << (i % 20 == 0 ? "    " : " ") << static_cast<unsigned>(bytes_[i]) << ","
                << (i % 20 == 19 ? "\n" : "");
        }
        out << "\n};\n\n";
    }

    std::size_t size() const { return bytes_.size(); }

private:
    void put(std::uint32_t value) {
        while (value >= 0x80) {
            bytes_.push_back(static_cast<std::uint8_t>(value | 0x80));
            value >>= 7;
        }
        bytes_.push_back(static_cast<std::uint8_t>(value));
    }

    std::vector<std::uint8_t> bytes_;
    std::map<Ranges, std::uint32_t> offsets_;
};

struct AliasEntry {
    std::string key;
    std::string value;  // the C++ initializer after the key
};

// Sorts the aliases by key and refuses two that normalize alike but name different things.
std::vector<AliasEntry> sorted_aliases(std::vector<AliasEntry> entries, const std::string& what) {
    std::sort(entries.begin(), entries.end(), [](const AliasEntry& a, const AliasEntry& b) {
        return a.key < b.key || (a.key == b.key && a.value < b.value);
    });
    std::vector<AliasEntry> out;
    for (auto& entry : entries) {
        if (!out.empty() && out.back().key == entry.key) {
            if (out.back().value != entry.value) die("conflicting " + what + " alias " + entry.key);
            continue;
        }
        out.push_back(std::move(entry));
    }
    return out;
}

class Writer {
public:
    explicit Writer(Pool& pool) : pool_(pool) {}

    // A list of named tables, in the order given, with an accessor of that name.
    void tables(const std::string& function, const std::vector<std::pair<std::string, Ranges>>& tables) {
        body_ << "std::span<const NamedTable> " << function << "() {\n    static constexpr NamedTable data[] = {\n";
        for (const auto& [name, ranges] : tables) body_ << "        {\"" << name << "\", " << pool_.add(ranges) << "},\n";
        body_ << "    };\n    return data;\n}\n\n";
    }

    void aliases(const std::string& function, const std::vector<std::pair<std::string, Ranges>>& tables,
                 const ValueAliases& values) {
        std::vector<AliasEntry> entries;
        for (std::size_t i = 0; i < tables.size(); ++i) {
            auto found = values.aliases.find(tables[i].first);
            std::vector<std::string> names = {tables[i].first};
            if (found != values.aliases.end()) names.insert(names.end(), found->second.begin(), found->second.end());
            for (const auto& name : names) entries.push_back({qeld::regex::normalize_property_name(name), std::to_string(i)});
        }
        for (const auto& [key, index] : extra_) entries.push_back({key, std::to_string(index)});
        extra_.clear();
        entries = sorted_aliases(std::move(entries), function);
        body_ << "std::span<const Alias> " << function << "() {\n    static constexpr Alias data[] = {\n";
        for (const auto& entry : entries) body_ << "        {\"" << entry.key << "\", " << entry.value << "},\n";
        body_ << "    };\n    return data;\n}\n\n";
    }

    // An alias the data files do not list, added to the next aliases() call.
    void extra_alias(const std::string& key, std::size_t index) { extra_.emplace_back(key, index); }

    void table(const std::string& function, const Ranges& ranges) {
        body_ << "RangeTable " << function << "() { return " << pool_.add(ranges) << "; }\n";
    }

    std::ostringstream& body() { return body_; }

private:
    Pool& pool_;
    std::ostringstream body_;
    std::vector<std::pair<std::string, std::size_t>> extra_;
};

using TableList = std::vector<std::pair<std::string, Ranges>>;

std::size_t index_of(const TableList& tables, const std::string& name) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].first == name) return i;
    }
    die("no table " + name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) die("usage: tablegen <ucd-directory> <output.cpp>");
    const std::string dir = std::string(argv[1]) + "/";
    auto value_aliases = read_value_aliases(dir + "PropertyValueAliases.txt");
    Pool pool;
    Writer writer(pool);

    // General categories: the two-letter ones, then the groups of UAX #44.
    auto categories_by_short = read_property_file(dir + "extracted/DerivedGeneralCategory.txt");
    const ValueAliases& gc = value_aliases["gc"];
    const std::vector<std::pair<std::string, std::string>> groups = {
        {"C", "Cc Cf Cn Co Cs"}, {"L", "Ll Lm Lo Lt Lu"}, {"LC", "Ll Lt Lu"}, {"M", "Mc Me Mn"},
        {"N", "Nd Nl No"},       {"P", "Pc Pd Pe Pf Pi Po Ps"}, {"S", "Sc Sk Sm So"}, {"Z", "Zl Zp Zs"}};
    for (const auto& [group, members] : groups) {
        std::vector<const Ranges*> parts;
        std::stringstream stream(members);
        std::string member;
        while (stream >> member) parts.push_back(&categories_by_short.at(member));
        categories_by_short[group] = unite(parts);
    }
    TableList categories;
    for (const auto& [short_name, ranges] : categories_by_short) {
        auto found = gc.long_of_short.find(short_name);
        if (found == gc.long_of_short.end()) die("unknown category " + short_name);
        categories.emplace_back(found->second, ranges);
    }
    std::sort(categories.begin(), categories.end());
    writer.tables("general_categories", categories);
    // "L&" is the customary name of the cased letters (Lu, Ll, Lt) beside "LC".
    writer.extra_alias(qeld::regex::normalize_property_name("L&"), index_of(categories, "Cased_Letter"));
    writer.aliases("general_category_aliases", categories, gc);

    // Scripts, with Unknown for every code point no script claims.
    const ValueAliases& sc = value_aliases["sc"];
    auto scripts_by_name = read_property_file(dir + "Scripts.txt");
    {
        std::vector<const Ranges*> parts;
        for (const auto& [name, ranges] : scripts_by_name) parts.push_back(&ranges);
        scripts_by_name["Unknown"] = complement(unite(parts));
    }
    TableList scripts(scripts_by_name.begin(), scripts_by_name.end());
    writer.tables("scripts", scripts);
    writer.aliases("script_aliases", scripts, sc);

    // Script extensions: a code point not listed in ScriptExtensions.txt has its script alone.
    std::vector<std::uint16_t> script_of(max_code_point + 1, 0);
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        for (const auto& [first, last] : scripts[i].second) {
            for (std::uint32_t cp = first; cp <= last; ++cp) script_of[cp] = static_cast<std::uint16_t>(i);
        }
    }
    std::vector<Ranges> extensions(scripts.size());
    std::vector<bool> extended(max_code_point + 1, false);
    for (const auto& fields : read_fields(dir + "ScriptExtensions.txt")) {
        auto [first, last] = parse_code_points(fields.at(0));
        std::stringstream stream(fields.at(1));
        std::string short_name;
        while (stream >> short_name) {
            auto found = sc.long_of_short.find(short_name);
            if (found == sc.long_of_short.end()) die("unknown script " + short_name);
            extensions[index_of(scripts, found->second)].push_back({first, last});
        }
        for (std::uint32_t cp = first; cp <= last; ++cp) extended[cp] = true;
    }
    for (std::uint32_t cp = 0; cp <= max_code_point; ++cp) {
        if (!extended[cp]) extensions[script_of[cp]].push_back({cp, cp});
    }
    writer.body() << "std::span<const RangeTable> script_extensions() {\n    static constexpr RangeTable data[] = {\n";
    for (auto& ranges : extensions) writer.body() << "        " << pool.add(canonical(std::move(ranges))) << ",\n";
    writer.body() << "    };\n    return data;\n}\n\n";

    // Ages: what each version assigned, in version order.
    const ValueAliases& age = value_aliases["age"];
    auto ages_by_short = read_property_file(dir + "DerivedAge.txt");
    TableList ages;
    for (const auto& long_name : age.order) {
        if (long_name == "Unassigned") continue;
        std::string short_name;
        for (const auto& [s, l] : age.long_of_short) {
            if (l == long_name) short_name = s;
        }
        auto found = ages_by_short.find(short_name);
        if (found == ages_by_short.end()) continue;  // a version this data predates
        ages.emplace_back(long_name, found->second);
    }
    writer.tables("ages", ages);
    writer.aliases("age_aliases", ages, age);

    // Boolean properties.
    std::map<std::string, Ranges> booleans;
    for (const char* file : {"PropList.txt", "DerivedCoreProperties.txt", "emoji/emoji-data.txt"}) {
        for (auto& [name, ranges] : read_property_file(dir + file)) booleans[name] = std::move(ranges);
    }
    TableList boolean_list(booleans.begin(), booleans.end());
    writer.tables("boolean_properties", boolean_list);

    // Break properties.
    struct Break {
        const char* file;
        const char* property;
        const char* tables;
        const char* aliases;
    };
    std::map<std::string, std::pair<std::string, std::size_t>> break_kinds;
    for (const Break& b : {Break{"auxiliary/GraphemeBreakProperty.txt", "GCB", "grapheme_cluster_breaks", "grapheme_cluster_break_aliases"},
                           Break{"auxiliary/WordBreakProperty.txt", "WB", "word_breaks", "word_break_aliases"},
                           Break{"auxiliary/SentenceBreakProperty.txt", "SB", "sentence_breaks", "sentence_break_aliases"}}) {
        auto values = read_property_file(dir + b.file);
        TableList list(values.begin(), values.end());
        writer.tables(b.tables, list);
        writer.aliases(b.aliases, list, value_aliases[b.property]);
    }

    // Property names.
    std::vector<AliasEntry> properties;
    for (const auto& fields : read_fields(dir + "PropertyAliases.txt")) {
        if (fields.size() < 2) continue;
        const std::string& long_name = fields[1];
        std::string value;
        if (long_name == "General_Category") value = "PropertyKind::GeneralCategory, 0";
        else if (long_name == "Script") value = "PropertyKind::Script, 0";
        else if (long_name == "Script_Extensions") value = "PropertyKind::ScriptExtensions, 0";
        else if (long_name == "Age") value = "PropertyKind::Age, 0";
        else if (long_name == "Grapheme_Cluster_Break") value = "PropertyKind::GraphemeClusterBreak, 0";
        else if (long_name == "Word_Break") value = "PropertyKind::WordBreak, 0";
        else if (long_name == "Sentence_Break") value = "PropertyKind::SentenceBreak, 0";
        else if (booleans.count(long_name)) value = "PropertyKind::Boolean, " + std::to_string(index_of(boolean_list, long_name));
        else value = "PropertyKind::Unsupported, 0";
        for (const auto& name : fields) properties.push_back({qeld::regex::normalize_property_name(name), value});
    }
    properties = sorted_aliases(std::move(properties), "property");
    writer.body() << "std::span<const PropertyAlias> property_aliases() {\n    static constexpr PropertyAlias data[] = {\n";
    for (const auto& entry : properties) writer.body() << "        {\"" << entry.key << "\", " << entry.value << "},\n";
    writer.body() << "    };\n    return data;\n}\n\n";

    // The sets behind \w, \d, \s and capture group names.
    const Ranges& nd = categories[index_of(categories, "Decimal_Number")].second;
    writer.table("perl_word", unite({&booleans.at("Alphabetic"), &categories[index_of(categories, "Mark")].second, &nd,
                                     &categories[index_of(categories, "Connector_Punctuation")].second,
                                     &booleans.at("Join_Control")}));
    writer.table("perl_digit", nd);
    writer.table("perl_space", booleans.at("White_Space"));
    writer.table("alphabetic", booleans.at("Alphabetic"));
    writer.table("numeric", categories[index_of(categories, "Number")].second);
    writer.body() << "\n";

    // Simple case folding (statuses C and S) as cyclic orbits.
    std::map<std::uint32_t, std::set<std::uint32_t>> orbits;  // fold target -> members
    for (const auto& fields : read_fields(dir + "CaseFolding.txt")) {
        if (fields.size() < 3 || (fields[1] != "C" && fields[1] != "S")) continue;
        std::uint32_t from = parse_code_points(fields[0]).first;
        std::uint32_t to = parse_code_points(fields[2]).first;
        orbits[to].insert(to);
        orbits[to].insert(from);
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> links;
    for (const auto& [target, members] : orbits) {
        std::vector<std::uint32_t> list(members.begin(), members.end());
        for (std::size_t i = 0; i < list.size(); ++i) links.push_back({list[i], list[(i + 1) % list.size()]});
    }
    std::sort(links.begin(), links.end());
    for (std::size_t i = 1; i < links.size(); ++i) {
        if (links[i].first == links[i - 1].first) die("code point in two case folding orbits");
    }
    writer.body() << "std::span<const FoldLink> case_fold_links() {\n    static constexpr FoldLink data[] = {\n";
    for (std::size_t i = 0; i < links.size(); ++i) {
        char text[48];
        auto next = std::lower_bound(links.begin(), links.end(), std::pair<std::uint32_t, std::uint32_t>{links[i].second, 0});
        std::snprintf(text, sizeof text, "{0x%X, 0x%X, %u},", links[i].first, links[i].second,
                      static_cast<unsigned>(next - links.begin()));
        writer.body() << (i % 6 == 0 ? "        " : " ") << text << (i % 6 == 5 ? "\n" : "");
    }
    writer.body() << "\n    };\n    return data;\n}\n\n";

    std::ofstream out(argv[2]);
    out << "// Generated by tablegen from the Unicode Character Database; do not edit.\n"
        << "#include \"regex/unicode_tables.h\"\n\nnamespace qeld::regex::tables {\n\nnamespace {\n\n";
    pool.write(out);
    out << "}  // namespace\n\n"
        << "const std::uint8_t* range_pool() { return pool; }\n\n"
        << writer.body().str() << "}  // namespace qeld::regex::tables\n";
    if (!out) die(std::string("cannot write ") + argv[2]);
    std::cerr << "tablegen: " << pool.size() << " bytes of ranges\n";
    return 0;
}
