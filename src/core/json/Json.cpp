#include "core/json/Json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/text/Encoding.h"

namespace qbx::json {

Value::Value(const std::vector<std::string>& texts) : kind_(Kind::Array) {
    elements_.assign(texts.begin(), texts.end());
}

Value Value::array(Layout layout) {
    Value v;
    v.kind_ = Kind::Array;
    v.layout_ = layout;
    return v;
}

Value Value::object(Layout layout) {
    Value v;
    v.kind_ = Kind::Object;
    v.layout_ = layout;
    return v;
}

Value& Value::set(std::string_view key, Value value) {
    kind_ = Kind::Object;
    for (auto& [name, member] : members_)
        if (name == key) return member = std::move(value);
    members_.emplace_back(std::string(key), std::move(value));
    return members_.back().second;
}

Value& Value::push(Value value) {
    kind_ = Kind::Array;
    elements_.push_back(std::move(value));
    return elements_.back();
}

const Value* Value::find(std::string_view key) const {
    for (const auto& [name, member] : members_)
        if (name == key) return &member;
    return nullptr;
}

// ---- Writing ------------------------------------------------------------------

std::string quoted(std::string_view bytes) {
    std::string out = "\"";
    for (const char ch : asUtf8(bytes)) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char u[8];
                std::snprintf(u, sizeof u, "\\u%04x", c);
                out += u;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

namespace {

class Writer {
public:
    Writer(int indent, KeyOrder order) : indent_(indent), order_(order) {}

    void value(const Value& v, int depth, bool oneLine) {
        switch (v.kind()) {
        case Value::Kind::Null: out += "null"; break;
        case Value::Kind::Boolean: out += v.boolean() ? "true" : "false"; break;
        case Value::Kind::Integer: out += std::to_string(v.integer()); break;
        case Value::Kind::Real: real(v.real()); break;
        case Value::Kind::Text: out += quoted(v.text()); break;
        case Value::Kind::Array: {
            std::vector<const Value*> elements;
            for (const Value& e : v.elements()) elements.push_back(&e);
            container('[', ']', nullptr, elements, depth, oneLine || v.layout() == Value::Layout::OneLine);
            break;
        }
        case Value::Kind::Object: {
            std::vector<const Value::Members::value_type*> members;
            for (const auto& m : v.members()) members.push_back(&m);
            // An object's keys are unique (set() replaces a key's value).
            if (order_ == KeyOrder::Sorted)
                std::sort(members.begin(), members.end(),
                          [](const auto* a, const auto* b) { return a->first < b->first; });
            std::vector<const std::string*> keys;
            std::vector<const Value*> values;
            for (const auto* m : members) {
                keys.push_back(&m->first);
                values.push_back(&m->second);
            }
            container('{', '}', &keys, values, depth, oneLine || v.layout() == Value::Layout::OneLine);
            break;
        }
        }
    }

    std::string out;

private:
    void container(char open, char close, const std::vector<const std::string*>* keys,
                   const std::vector<const Value*>& values, int depth, bool oneLine) {
        out += open;
        if (values.empty()) {
            out += close;
            return;
        }
        const bool lines = indent_ > 0 && !oneLine;
        for (size_t i = 0; i < values.size(); ++i) {
            if (i) out += lines ? "," : ", ";
            if (lines) {
                out += '\n';
                out.append(static_cast<size_t>(indent_ * (depth + 1)), ' ');
            }
            if (keys) {
                out += quoted(*(*keys)[i]);
                out += ": ";
            }
            value(*values[i], depth + 1, !lines);
        }
        if (lines) {
            out += '\n';
            out.append(static_cast<size_t>(indent_ * depth), ' ');
        }
        out += close;
    }

    // The shortest digits that read back as the same double, laid out so
    // that the text still reads as a real ("2.0", "0.0125", "1.5e+20"): in
    // plain decimals from 1e-4 up to 1e15, with an exponent of at least two
    // digits outside. A number JSON cannot hold (infinite, not a number) is
    // null.
    void real(double x) {
        if (!std::isfinite(x)) {
            out += "null";
            return;
        }
        if (x == 0) {
            out += std::signbit(x) ? "-0.0" : "0.0";
            return;
        }
        char s[40];
        const auto r = std::to_chars(s, s + sizeof s, x, std::chars_format::scientific);
        const std::string_view text(s, static_cast<size_t>(r.ptr - s));  // "-d.ddde+xx"
        const size_t e = text.find('e');
        std::string digits;
        for (const char c : text.substr(0, e))
            if (c >= '0' && c <= '9') digits += c;
        int exponent = 0;
        std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
        if (x < 0) out += '-';
        const int k = static_cast<int>(digits.size());
        const int n = exponent + 1;  // where the point goes, counted in digits
        if (k <= n && n <= 15) {
            out += digits;
            out.append(static_cast<size_t>(n - k), '0');
            out += ".0";
        } else if (n > 0 && n <= 15) {
            out += digits.substr(0, static_cast<size_t>(n));
            out += '.';
            out += digits.substr(static_cast<size_t>(n));
        } else if (n > -4 && n <= 0) {
            out += "0.";
            out.append(static_cast<size_t>(-n), '0');
            out += digits;
        } else {
            out += digits[0];
            if (k > 1) {
                out += '.';
                out += digits.substr(1);
            }
            char exp[16];
            std::snprintf(exp, sizeof exp, "e%c%02d", exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
            out += exp;
        }
    }

    int indent_;
    KeyOrder order_;
};

}  // namespace

std::string write(const Value& value, int indent, KeyOrder order) {
    Writer w(indent, order);
    w.value(value, 0, indent <= 0);
    return std::move(w.out);
}

// ---- Reading ------------------------------------------------------------------

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<Value> document() {
        std::optional<Value> v = value(0);
        if (!v) return std::nullopt;
        space();
        if (at_ != text_.size()) return fail("more after the value");
        return v;
    }

    std::string error;

private:
    std::nullopt_t fail(const std::string& what) {
        if (error.empty()) error = what + " at byte " + std::to_string(at_);
        return std::nullopt;
    }

    void space() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }

    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w) return false;
        at_ += w.size();
        return true;
    }

    std::optional<Value> value(int depth) {
        space();
        if (at_ >= text_.size()) return fail("the text ends where a value should be");
        const char c = text_[at_];
        if (c == '{' || c == '[') {
            if (depth >= kMaxDepth) return fail("nested deeper than " + std::to_string(kMaxDepth) + " levels");
            return c == '{' ? object(depth) : array(depth);
        }
        if (c == '"') {
            std::optional<std::string> s = string();
            if (!s) return std::nullopt;
            return Value(std::move(*s));
        }
        if (word("true")) return Value(true);
        if (word("false")) return Value(false);
        if (word("null")) return Value();
        if (c == '-' || (c >= '0' && c <= '9')) return number();
        return fail("no JSON value");
    }

    std::optional<Value> object(int depth) {
        ++at_;
        Value v = Value::object();
        space();
        if (at_ < text_.size() && text_[at_] == '}') {
            ++at_;
            return v;
        }
        for (;;) {
            space();
            if (at_ >= text_.size() || text_[at_] != '"') return fail("no key where one should be");
            std::optional<std::string> key = string();
            if (!key) return std::nullopt;
            if (v.find(*key)) return fail("a key twice in one object");
            space();
            if (at_ >= text_.size() || text_[at_] != ':') return fail("no ':' after a key");
            ++at_;
            std::optional<Value> member = value(depth + 1);
            if (!member) return std::nullopt;
            v.set(*key, std::move(*member));
            space();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == '}') {
                ++at_;
                return v;
            }
            return fail("no ',' or '}' after a member");
        }
    }

    std::optional<Value> array(int depth) {
        ++at_;
        Value v = Value::array();
        space();
        if (at_ < text_.size() && text_[at_] == ']') {
            ++at_;
            return v;
        }
        for (;;) {
            std::optional<Value> element = value(depth + 1);
            if (!element) return std::nullopt;
            v.push(std::move(*element));
            space();
            if (at_ < text_.size() && text_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == ']') {
                ++at_;
                return v;
            }
            return fail("no ',' or ']' after an element");
        }
    }

    std::optional<unsigned> hex4() {
        if (text_.size() - at_ < 4) return std::nullopt;
        unsigned u = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            u <<= 4;
            if (h >= '0' && h <= '9')
                u |= unsigned(h - '0');
            else if (h >= 'a' && h <= 'f')
                u |= unsigned(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                u |= unsigned(h - 'A' + 10);
            else
                return std::nullopt;
        }
        return u;
    }

    std::optional<std::string> string() {
        ++at_;  // the opening quote
        std::string out;
        size_t run = at_;  // the start of bytes taken as they are
        for (;;) {
            if (at_ >= text_.size()) return fail("a string without its closing quote");
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') break;
            if (c < 0x20) return fail("a control character in a string");
            if (c != '\\') {
                ++at_;
                continue;
            }
            out.append(text_.substr(run, at_ - run));
            ++at_;
            if (at_ >= text_.size()) return fail("a string without its closing quote");
            const char e = text_[at_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::optional<unsigned> u = hex4();
                if (!u) return fail("a \\u escape without four hex digits");
                if (*u >= 0xDC00 && *u <= 0xDFFF) return fail("a lone low surrogate");
                if (*u >= 0xD800 && *u <= 0xDBFF) {
                    if (!word("\\u")) return fail("a high surrogate without its low half");
                    std::optional<unsigned> low = hex4();
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) return fail("a high surrogate without its low half");
                    *u = 0x10000 + ((*u - 0xD800) << 10) + (*low - 0xDC00);
                }
                appendUtf8(out, char32_t(*u));
                break;
            }
            default: return fail("an unknown escape in a string");
            }
            run = at_;
        }
        out.append(text_.substr(run, at_ - run));
        ++at_;  // the closing quote
        if (!isUtf8(out)) return fail("a string that is not UTF-8");
        return out;
    }

    std::optional<Value> number() {
        const size_t start = at_;
        if (text_[at_] == '-') ++at_;
        const auto digits = [&] {
            const size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
            return at_ - from;
        };
        const size_t whole = at_;
        if (digits() == 0) return fail("a number without digits");
        if (text_[whole] == '0' && at_ - whole > 1) return fail("a number with a leading zero");
        bool integral = true;
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            integral = false;
            if (digits() == 0) return fail("a number without digits after its point");
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            integral = false;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (digits() == 0) return fail("a number without digits in its exponent");
        }
        const char* first = text_.data() + start;
        const char* last = text_.data() + at_;
        if (integral) {
            long long n = 0;
            const auto r = std::from_chars(first, last, n);
            if (r.ec == std::errc() && r.ptr == last) return Value(n);
        }
        double x = 0;
        const auto r = std::from_chars(first, last, x);
        if (r.ec != std::errc() || r.ptr != last || !std::isfinite(x)) return fail("a number out of range");
        return Value(x);
    }

    std::string_view text_;
    size_t at_ = 0;
};

}  // namespace

std::optional<Value> read(std::string_view text, std::string& error) {
    if (text.size() > kMaxTextBytes) {
        error = "larger than " + std::to_string(kMaxTextBytes >> 20) + " MiB";
        return std::nullopt;
    }
    Reader reader(text);
    std::optional<Value> v = reader.document();
    if (!v) error = reader.error;
    return v;
}

}  // namespace qbx::json
