// Reading a scenario file within its bounds: its size and how deep its values nest.
#include "app/engine/AtomicFile.h"
#include "app/replay/Scenario.h"

#include <system_error>

namespace vantrel::replay {
namespace {

using nlohmann::json;

// A first pass over the text that builds nothing: it stops at the first syntax fault or at the
// first array or object too deep, so that the document is built only when it is sound. (The
// parser's callback would see the depth too, but erases discarded values by walking their
// parent, which takes quadratic time over a long array of objects.)
class Checker final : public json::json_sax_t {
  public:
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
        if (depth_ >= Limits::depth) {
            fault = "nested deeper than " + std::to_string(Limits::depth) + " arrays and objects";
            return false;
        }
        ++depth_;
        return true;
    }
    bool close() {
        --depth_;
        return true;
    }
    int depth_ = 0;
};

} // namespace

std::optional<json> readScenarioFile(const std::filesystem::path& file, std::string& error) {
    const std::string name = file.empty() ? std::string("FILE") : file.string();
    const auto text = AtomicFile::read(file, Limits::fileBytes);
    if (!text) {
        std::error_code ignored;
        const bool tooLarge = std::filesystem::is_regular_file(file, ignored) &&
                              std::filesystem::file_size(file, ignored) > Limits::fileBytes;
        error = name + (tooLarge ? ": larger than 16 MiB" : ": cannot be read");
        return std::nullopt;
    }
    Checker checker;
    if (!json::sax_parse(*text, &checker) || !checker.fault.empty()) {
        error = name + ": " + (checker.fault.empty() ? "not valid JSON" : checker.fault);
        return std::nullopt;
    }
    return json::parse(*text, nullptr, false);
}

} // namespace vantrel::replay
