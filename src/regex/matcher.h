#pragma once
// Runs a program over a haystack: leftmost-first search, as if stepping one code point at a time.
// Work is linear in the haystack for a given program; memory is bounded by the program's size and,
// for the backtracker, by a fixed budget.

#include <cstddef>
#include <string_view>

#include "regex/hir.h"
#include "regex/program.h"
#include "regex/unicode.h"
#include "regex/utf8_decode.h"

namespace qeld::regex {

// Whether the program matches anywhere in the haystack: the lazy DFA where it suits the program
// and does not give up, else the backtracker or the Pike VM.
bool search(const Program& program, std::string_view haystack);

namespace detail {

// The bounded backtracker, for when (instructions x haystack positions) fits its bitset.
inline constexpr std::size_t backtrack_visited_bits = 256 * 1024 * 8;
bool backtrack(const Program& program, std::string_view haystack);

// The Pike VM, for any program and haystack.
bool pike_vm(const Program& program, std::string_view haystack);

inline bool word_before(std::string_view h, std::size_t at, bool unicode) {
    if (at == 0) return false;
    if (!unicode) return unicode::is_ascii_word_char(static_cast<unsigned char>(h[at - 1]));
    return unicode::is_word_char(decode_before(h, at));
}

inline bool word_after(std::string_view h, std::size_t at, bool unicode) {
    if (at >= h.size()) return false;
    if (!unicode) return unicode::is_ascii_word_char(static_cast<unsigned char>(h[at]));
    return unicode::is_word_char(decode_at(h, at).c);
}

inline bool look_holds(Look look, std::string_view h, std::size_t at) {
    std::size_t n = h.size();
    switch (look) {
        case Look::Start:
            return at == 0;
        case Look::End:
            return at == n;
        case Look::StartLF:
            return at == 0 || h[at - 1] == '\n';
        case Look::EndLF:
            return at == n || h[at] == '\n';
        case Look::StartCRLF:
            return at == 0 || h[at - 1] == '\n' || (h[at - 1] == '\r' && (at == n || h[at] != '\n'));
        case Look::EndCRLF:
            return at == n || h[at] == '\r' || (h[at] == '\n' && (at == 0 || h[at - 1] != '\r'));
        case Look::WordAscii:
            return word_before(h, at, false) != word_after(h, at, false);
        case Look::WordAsciiNegate:
            return word_before(h, at, false) == word_after(h, at, false);
        case Look::WordUnicode:
            return word_before(h, at, true) != word_after(h, at, true);
        case Look::WordUnicodeNegate:
            return word_before(h, at, true) == word_after(h, at, true);
        case Look::WordStartAscii:
            return !word_before(h, at, false) && word_after(h, at, false);
        case Look::WordEndAscii:
            return word_before(h, at, false) && !word_after(h, at, false);
        case Look::WordStartUnicode:
            return !word_before(h, at, true) && word_after(h, at, true);
        case Look::WordEndUnicode:
            return word_before(h, at, true) && !word_after(h, at, true);
        case Look::WordStartHalfAscii:
            return !word_before(h, at, false);
        case Look::WordEndHalfAscii:
            return !word_after(h, at, false);
        case Look::WordStartHalfUnicode:
            return !word_before(h, at, true);
        case Look::WordEndHalfUnicode:
            return !word_after(h, at, true);
    }
    return false;
}

// Whether the instruction consumes the code point at `at`, and if so how many bytes it takes.
inline std::size_t consumes(const Program& program, const Inst& inst, std::string_view h, std::size_t at) {
    if (at >= h.size()) return 0;
    unsigned char b = static_cast<unsigned char>(h[at]);
    if (b < 0x80) {
        if (inst.op == Op::Char) return inst.arg == b ? 1 : 0;
        const ProgramClass& cls = program.classes[inst.arg];
        return (cls.ascii[b >> 6] >> (b & 63)) & 1;
    }
    Decoded d = decode_at(h, at);
    if (inst.op == Op::Char) return inst.arg == d.c ? d.length : 0;
    return program.classes[inst.arg].contains_above_ascii(d.c) ? d.length : 0;
}

// The byte length of the code point at `at` (1 at the end, to step past it).
inline std::size_t step_length(std::string_view h, std::size_t at) {
    if (at >= h.size()) return 1;
    unsigned char b = static_cast<unsigned char>(h[at]);
    if (b < 0x80) return 1;
    return decode_at(h, at).length;
}

}  // namespace detail

}  // namespace qeld::regex
