#include "inputs.h"

#include <cstdio>

namespace qeld::bench {

std::string typical_schema() {
    return R"([vantle]
version = "1.0.0"

[types.port]
type = "integer"
min = 1
max = 65535

[types.hostname]
type = "string"
pattern = "^[a-z0-9]([a-z0-9.-]*[a-z0-9])?$"
maxlength = 253

[types.listener]
type = "table"

[types.listener.host]
type = "hostname"

[types.listener.port]
type = "port"

[types.listener.protocol]
type = "string"
allowedvalues = ["http", "https", "h2"]

[types.file_sink]
type = "table"

[types.file_sink.path]
type = "string"
minlength = 1

[types.syslog_sink]
type = "table"

[types.syslog_sink.facility]
type = "integer"
min = 0
max = 23

[elements.name]
type = "string"
pattern = "^[a-z][a-z0-9-]*$"

[elements.listeners]
type = "array"
itemtype = "listener"
minlength = 1

[elements.log]
type = "table"

[elements.log.level]
type = "string"
allowedvalues = ["debug", "info", "warn", "error"]

[elements.log.sink]
oneof = ["file_sink", "syslog_sink"]

[elements.limits]
type = "table"

[elements.limits.connections]
type = "integer"
min = 1
max = 100000

[elements.limits.timeout]
type = "float"
min = 0.0

[elements.limits.burst]
type = "array"
itemtype = "integer"
min = 0

[elements.backends]
type = "collection"
itemtype = "listener"
keypattern = "^[a-z]+$"
)";
}

std::string typical_document() {
    std::string out = "name = \"edge-proxy\"\n\n[log]\nlevel = \"info\"\nsink = { path = \"/var/log/proxy.log\" }\n\n";
    out += "[limits]\nconnections = 5000\ntimeout = 2.5\nburst = [1, 2, 3, 4, 5, 6, 7, 8]\n\n";
    char buffer[256];
    for (int i = 0; out.size() < 3500; ++i) {
        std::snprintf(buffer, sizeof buffer, "[[listeners]]\nhost = \"node-%d.example.org\"\nport = %d\nprotocol = \"https\"\n\n",
                      i, 8000 + i);
        out += buffer;
    }
    for (int i = 0; out.size() < 5000; ++i) {
        std::string name;
        for (int n = i; ; n /= 26) {
            name.push_back(static_cast<char>('a' + n % 26));
            if (n < 26) break;
        }
        std::snprintf(buffer, sizeof buffer, "[backends.%s]\nhost = \"backend-%d.internal\"\nport = %d\nprotocol = \"http\"\n\n",
                      name.c_str(), i, 9000 + i);
        out += buffer;
    }
    return out;
}

std::string records_schema() {
    return R"([vantle]
version = "1.0.0"

[types.identifier]
type = "integer"
min = 1

[types.label]
type = "string"
minlength = 1
maxlength = 64

[types.email]
type = "string"
pattern = "^[^@ ]+@[^@ ]+$"

[types.ratio]
type = "float"
min = 0.0
max = 1.0

[types.coordinate]
type = "table"

[types.coordinate.lat]
type = "float"
min = -90.0
max = 90.0

[types.coordinate.lon]
type = "float"
min = -180.0
max = 180.0

[types.coordinate.alt]
type = "integer"
optional = true

[types.status]
type = "string"
allowedvalues = ["active", "pending", "retired"]

[types.record]
type = "table"

[types.record.id]
type = "identifier"

[types.record.name]
type = "label"

[types.record.email]
type = "email"

[types.record.score]
type = "ratio"

[types.record.active]
type = "boolean"

[types.record.created]
type = "offset-date-time"
min = 2000-01-01T00:00:00Z

[types.record.day]
type = "local-date"
max = 2100-12-31

[types.record.at]
type = "local-time"

[types.record.seen]
type = "local-date-time"
optional = true

[types.record.tags]
type = "array"
itemtype = "label"
maxlength = 8

[types.record.location]
type = "coordinate"

[types.record.status]
type = "status"

[types.record.count]
type = "integer"
min = 0
max = 1000000

[types.record.weights]
type = "array"
itemtype = "float"
min = 0.0

[types.record.note]
type = "string"
optional = true
deprecated = true

[elements.title]
type = "string"

[elements.generated]
type = "offset-date-time"

[elements.records]
type = "array"
itemtype = "record"
uniqueitems = true
)";
}

std::string records_document(std::size_t items) {
    std::string out = "title = \"generated records\"\ngenerated = 2026-01-01T00:00:00Z\n\n";
    out.reserve(items * 210 + 64);
    char buffer[512];
    const char* statuses[] = {"active", "pending", "retired"};
    for (std::size_t i = 0; i < items; ++i) {
        int n = static_cast<int>(i);
        std::snprintf(buffer, sizeof buffer,
                      "[[records]]\nid = %d\nname = \"record %d\"\nemail = \"user%d@example.org\"\nscore = 0.%03d\n"
                      "active = %s\ncreated = 2024-%02d-%02dT10:%02d:00Z\nday = 2025-%02d-%02d\nat = %02d:%02d:%02d\n"
                      "tags = [\"a\", \"b%d\"]\nlocation = { lat = %d.5, lon = -%d.25 }\nstatus = \"%s\"\ncount = %d\n"
                      "weights = [0.5, 1.5]\n\n",
                      n + 1, n, n, n % 1000, (n % 2) ? "true" : "false", n % 12 + 1, n % 28 + 1, n % 60, n % 12 + 1,
                      n % 28 + 1, n % 24, n % 60, n % 60, n, n % 90, n % 180, statuses[n % 3], n % 1000000);
        out += buffer;
    }
    return out;
}

}  // namespace qeld::bench
