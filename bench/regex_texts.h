#pragma once
// Generated haystacks for the pattern engine's search rows: nothing large is committed. Each is
// built so that the pattern it serves does not match (or matches only at its very end), so a
// search must cover the whole text.

#include <cstddef>
#include <string>

namespace qeld::bench {

// Words of 1 to 249 lowercase letters a to x, one space apart (no run of 250 letters).
std::string letter_runs(std::size_t bytes);
// Base64 in lines of 296 characters.
std::string base64_lines(std::size_t bytes);
// An x in the first 100 bytes, then letters without x.
std::string early_x_then_letters(std::size_t bytes);
// Random letters a to z.
std::string random_letters(std::size_t bytes, unsigned seed);
// Log-like lines of English words, numbers and #hex colours of five digits; none of the words
// error, warning, alpha, beta, gamma, delta or epsilon appear in any case.
std::string log_lines(std::size_t bytes);

}  // namespace qeld::bench
