#pragma once
// URLs as browsers read them, case by case: an input, the base it is resolved against (none when
// empty) and the URL written out, or "error: " and the parser's text.
//
// Where the rows come from: the groups marked [wpt] are the URL Standard's published test vectors
// (web-platform-tests, url/resources/urltestdata.json), each group under the heading it has there;
// [example] rows are the worked examples in the text of the URL Standard; [rule] rows are written
// here from the Standard's algorithms where the vectors say little: its file-state drive-letter
// steps and the UTS #46 settings of its "domain to ASCII" (non-transitional, CheckHyphens off,
// CheckBidi and CheckJoiners on, UseSTD3ASCIIRules off, VerifyDnsLength off). The vectors only say
// "failure"; the error texts are this parser's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "url/url.h"

namespace qeld::url::vectors {

struct Vector {
    std::string input;
    std::string base;
    std::string expected;
};

inline const std::string no_base;
inline const std::string empty_host_error = "error: empty host";
inline const std::string domain_error = "error: invalid international domain name";
inline const std::string character_error = "error: invalid domain character";
inline const std::string port_error = "error: invalid port number";
inline const std::string ipv4_error = "error: invalid IPv4 address";
inline const std::string ipv6_error = "error: invalid IPv6 address";
inline const std::string no_base_error = "error: relative URL without a base";
inline const std::string opaque_base_error = "error: relative URL with a cannot-be-a-base base";

inline const std::string mock = "file:///tmp/mock/path";
inline const std::string foo_bar = "http://example.org/foo/bar";
inline const std::string www_test = "http://www.example.com/test";

// The URL written out, or the parser's error text.
inline std::string outcome(const Vector& vector) {
    Result<Url> url = fail("no base");
    if (vector.base.empty()) {
        url = parse(vector.input);
    } else {
        auto base = parse(vector.base);
        if (!base) return "base does not parse: " + base.error();
        url = parse_with_base(vector.input, *base);
    }
    return url ? serialize(*url) : "error: " + url.error();
}

inline void check(const std::vector<Vector>& vectors) {
    for (const auto& vector : vectors) {
        std::string got = outcome(vector);
        EXPECT_EQ(got, vector.expected) << "input [" << vector.input << "] base [" << vector.base << "]";
        // What a URL writes out reads back as the same URL.
        if (got.rfind("error: ", 0) != 0) {
            auto again = parse(got);
            EXPECT_TRUE(again && serialize(*again) == got) << "written [" << got << "] does not read back";
        }
    }
}

}  // namespace qeld::url::vectors
