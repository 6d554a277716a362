#include "regex_texts.h"

#include <random>
#include <string>
#include <vector>

namespace qeld::bench {

namespace {

std::string random_from(std::mt19937& random, const char* alphabet, std::size_t alphabet_size, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out.push_back(alphabet[random() % alphabet_size]);
    return out;
}

}  // namespace

std::string letter_runs(std::size_t bytes) {
    std::mt19937 random(3);
    std::string out;
    while (out.size() < bytes) {
        out += random_from(random, "abcdefghijklmnopqrstuvwx", 24, 1 + random() % 249);
        out.push_back(' ');
    }
    out.resize(bytes);
    return out;
}

std::string base64_lines(std::size_t bytes) {
    std::mt19937 random(5);
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    while (out.size() < bytes) {
        out += random_from(random, alphabet, 64, 296);
        out.push_back('\n');
    }
    out.resize(bytes);
    return out;
}

std::string early_x_then_letters(std::size_t bytes) {
    std::mt19937 random(9);
    std::string out = random_from(random, "abcdefghijklmnopqrstuvwyz", 25, 50) + "x";
    out += random_from(random, "abcdefghijklmnopqrstuvwyz", 25, bytes - out.size());
    return out;
}

std::string random_letters(std::size_t bytes, unsigned seed) {
    std::mt19937 random(seed);
    return random_from(random, "abcdefghijklmnopqrstuvwxyz", 26, bytes);
}

std::string log_lines(std::size_t bytes) {
    std::mt19937 random(13);
    const std::vector<std::string> words = {
        "the",     "request", "from",   "server",  "took",     "longer", "than",    "expected", "retrying",
        "connection", "closed", "by",   "peer",    "terrier",   "wars",   "warn",    "alp",      "bet",
        "gam",     "delt",    "epsilo", "user",    "login",    "failed", "accepted", "cache",   "miss",
        "Errand",  "WARDEN",  "warping", "betting", "gamut",   "deltoid", "alphorn", "ok",     "done"};
    std::string out;
    while (out.size() < bytes) {
        out += "2024-06-11T12:" + std::to_string(10 + random() % 50) + ":" + std::to_string(10 + random() % 50) + " ";
        int count = 4 + static_cast<int>(random() % 8);
        for (int i = 0; i < count; ++i) {
            out += words[random() % words.size()];
            out += random() % 5 == 0 ? " #" + random_from(random, "0123456789abcdef", 16, 5) + " " : " ";
        }
        out += std::to_string(random() % 100000) + "\n";
    }
    out.resize(bytes);
    return out;
}

}  // namespace qeld::bench
