// RE2 as a second opinion on random patterns of the subset where both engines mean the same:
// ASCII literals and classes, groups, alternation, greedy and lazy repetitions, ^ and $ without
// the m flag. Both must agree on whether each text matches, and so must the Pike VM.
#include <gtest/gtest.h>
#include <re2/re2.h>

#include <random>
#include <string>

#include "engines.h"
#include "regex/regex.h"

namespace qeld::regex {
namespace {

class PatternMaker {
public:
    explicit PatternMaker(unsigned seed) : random_(seed) {}

    std::string pattern(int depth = 0) {
        std::string out;
        int items = 1 + pick(3);
        for (int i = 0; i < items; ++i) out += item(depth);
        if (depth < 3 && pick(4) == 0) out += "|" + pattern(depth + 1);
        return out;
    }

    std::string haystack() {
        std::string out;
        int length = pick(12);
        for (int i = 0; i < length; ++i) out.push_back("abcab\n-"[pick(7)]);
        return out;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    // Unbounded repetitions only of atoms that take one character: RE2 and this engine differ on
    // loops whose body can match the empty string (which iteration's empty match counts).
    std::string item(int depth) {
        std::string atom;
        bool single = true;
        switch (pick(depth < 3 ? 10 : 7)) {
            case 0: case 1: atom = std::string(1, "abc"[pick(3)]); break;
            case 2: atom = "[ab]"; break;
            case 3: atom = "[^a]"; break;
            case 4: atom = "."; break;
            case 5: return pick(2) ? "^" : "$";
            case 6: atom = "[a-c&&[^b]]"; break;
            case 7: atom = "(" + pattern(depth + 1) + ")"; single = false; break;
            case 8: atom = "(?:" + pattern(depth + 1) + ")"; single = false; break;
            default: return "(" + pattern(depth + 1) + ")?";  // RE2 refuses to repeat it again
        }
        const char* bounded[] = {"", "", "", "?", "??", "{2}", "{1,2}", "{0,3}?"};
        const char* unbounded[] = {"*", "+", "*?", "+?", "{2,}"};
        if (single && pick(2)) return atom + unbounded[pick(5)];
        return atom + bounded[pick(8)];
    }

    std::mt19937 random_;
};

// RE2 has no class operations; [a-c&&[^b]] is [ac].
std::string for_re2(std::string pattern) {
    for (std::size_t at; (at = pattern.find("[a-c&&[^b]]")) != std::string::npos;) pattern.replace(at, 11, "[ac]");
    return pattern;
}

TEST(Re2Oracle, AgreesOnRandomPatterns) {
    PatternMaker maker(20240611);
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string pattern = maker.pattern();
        auto ours = Regex::compile(pattern);
        ASSERT_TRUE(ours.ok()) << pattern << ": " << ours.error();
        RE2 theirs(for_re2(pattern), RE2::Quiet);
        ASSERT_TRUE(theirs.ok()) << pattern;
        Program program = program_of(pattern);
        for (int h = 0; h < 8; ++h) {
            std::string text = maker.haystack();
            bool matched = RE2::PartialMatch(text, theirs);
            ASSERT_EQ(ours->is_match(text), matched) << pattern << " on '" << text << "'";
            ASSERT_EQ(detail::pike_vm(program, text), matched) << pattern << " on '" << text << "'";
            if (matched) ++compared;
        }
    }
    EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace qeld::regex
