#include "app/engine/StoredJSON.h"

namespace vantrel::StoredJSON {
namespace {

using nlohmann::json;

// A pass over the text that builds nothing: it stops at the first syntax fault or at the first
// array or object too deep, so that a document is built only when it is sound. (The parser's
// own callback sees the depth too, but erases what it discards by walking the parent, which
// takes quadratic time over a long array of objects.)
class Checker final : public json::json_sax_t {
  public:
    explicit Checker(int limit) : limit_(limit) {}
    std::string fault;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool key(string_t&) override { return true; }
    bool start_object(std::size_t) override { return open(); }
    bool start_array(std::size_t) override { return open(); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string&, const json::exception&) override {
        fault = "not valid JSON (at byte " + std::to_string(position) + ")";
        return false;
    }

  private:
    bool open() {
        if (depth_ >= limit_) {
            fault = "nested deeper than " + std::to_string(limit_) + " arrays and objects";
            return false;
        }
        ++depth_;
        return true;
    }
    bool close() {
        --depth_;
        return true;
    }
    int limit_;
    int depth_ = 0;
};

} // namespace

std::string fault(std::string_view text, int depth) {
    Checker checker(depth);
    if (!json::sax_parse(text, &checker) && checker.fault.empty()) {
        return "not valid JSON";
    }
    return checker.fault;
}

json parse(std::string_view text) {
    if (!fault(text).empty()) {
        return json(json::value_t::discarded);
    }
    return json::parse(text, nullptr, false);
}

} // namespace vantrel::StoredJSON
