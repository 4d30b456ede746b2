#pragma once
// JSON as every file and output of these programs writes and reads it: one
// value type, one writer, one reader.
//
// The writer lays a container out on lines of their own, indented (each
// member on a line, "key": value), or on one line ({"key": value, "k": v});
// the run record mixes both. Text is 8-bit: it is written as
// core/text/Encoding.h reads it, escaped as JSON requires (", \, and the
// controls below 0x20; \b \f \n \r \t by name, the rest as \u00xx), every
// other character as UTF-8 itself.
//
// The reader is strict (RFC 8259, UTF-8, no duplicate key) and bounded, for
// a file may be cut, edited or hostile: at most kMaxDepth levels of nesting
// and kMaxTextBytes of text; a number that does not fit a double is refused.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qbx::json {

class Value {
public:
    enum class Kind { Null, Boolean, Integer, Real, Text, Array, Object };
    // How a container is written within an indented document.
    enum class Layout { Indented, OneLine };
    using Members = std::vector<std::pair<std::string, Value>>;

    Value() = default;  // null
    Value(std::nullptr_t) {}
    Value(bool b) : kind_(Kind::Boolean), boolean_(b) {}
    Value(int n) : kind_(Kind::Integer), integer_(n) {}
    Value(long n) : kind_(Kind::Integer), integer_(n) {}
    Value(long long n) : kind_(Kind::Integer), integer_(n) {}
    Value(unsigned n) : kind_(Kind::Integer), integer_(n) {}
    Value(unsigned long n) : kind_(Kind::Integer), integer_(static_cast<long long>(n)) {}
    Value(unsigned long long n) : kind_(Kind::Integer), integer_(static_cast<long long>(n)) {}
    Value(double x) : kind_(Kind::Real), real_(x) {}
    Value(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
    Value(std::string_view text) : kind_(Kind::Text), text_(text) {}
    Value(const char* text) : kind_(Kind::Text), text_(text) {}
    // An array of texts.
    Value(const std::vector<std::string>& texts);
    template <typename T>
    Value(const std::optional<T>& value) {
        if (value) *this = Value(*value);
    }

    static Value array(Layout layout = Layout::Indented);
    static Value object(Layout layout = Layout::Indented);

    Kind kind() const { return kind_; }
    Layout layout() const { return layout_; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isBoolean() const { return kind_ == Kind::Boolean; }
    bool isNumber() const { return kind_ == Kind::Integer || kind_ == Kind::Real; }
    bool isInteger() const { return kind_ == Kind::Integer; }
    bool isText() const { return kind_ == Kind::Text; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isObject() const { return kind_ == Kind::Object; }

    bool boolean() const { return boolean_; }
    long long integer() const { return kind_ == Kind::Real ? static_cast<long long>(real_) : integer_; }
    double real() const { return kind_ == Kind::Integer ? static_cast<double>(integer_) : real_; }
    const std::string& text() const { return text_; }
    const std::vector<Value>& elements() const { return elements_; }
    const Members& members() const { return members_; }

    // An object's member: sets it where it is, or adds it at the end. The
    // reference returned (and push's) holds until the next set or push on
    // the same container.
    Value& set(std::string_view key, Value value);
    // An array's new last element.
    Value& push(Value value);
    // An object's member by key; nullptr when there is none (or no object).
    const Value* find(std::string_view key) const;

private:
    Kind kind_ = Kind::Null;
    Layout layout_ = Layout::Indented;
    bool boolean_ = false;
    long long integer_ = 0;
    double real_ = 0;
    std::string text_;
    std::vector<Value> elements_;
    Members members_;
};

// The order in which an object's members are written: as set, or sorted by
// key, byte by byte.
enum class KeyOrder { AsSet, Sorted };

// `value` as JSON. With `indent` > 0 indented containers put each element on
// a line of its own, `indent` spaces deeper than the container; with 0 the
// whole value is one line. No line feed at the end.
std::string write(const Value& value, int indent = 2, KeyOrder order = KeyOrder::AsSet);
// 8-bit text as a JSON string, quotes included.
std::string quoted(std::string_view bytes);

inline constexpr int kMaxDepth = 64;
inline constexpr size_t kMaxTextBytes = 64u << 20;

// The JSON text `text` as a value; nullopt with `error` saying what and where
// when it is no JSON or passes the bounds above.
std::optional<Value> read(std::string_view text, std::string& error);

}  // namespace qbx::json
