#include "ArgumentParsing.h"

namespace kalvor_tools {

namespace {

// The option of `app` that `word` names ("--port", "-q", "--port=3"), if any.
const CLI::Option* OptionNamed(const CLI::App& app, const std::string& word) {
    const std::string name = word.substr(0, word.find('='));
    for (const CLI::Option* option : app.get_options()) {
        if (option->check_name(name)) {
            return option;
        }
    }
    return nullptr;
}

// The first option given without the value it takes: one at the end of the line, or followed
// by another option.
std::string OptionLackingValue(const CLI::App& app, int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const CLI::Option* option = OptionNamed(app, word);
        if (option == nullptr || option->get_type_size() == 0 ||
            word.find('=') != std::string::npos) {
            continue;
        }
        const bool next = i + 1 < argc;
        const std::string value = next ? argv[i + 1] : "";
        if (!next || (value.size() > 1 && value[0] == '-' && OptionNamed(app, value) != nullptr)) {
            return word.substr(0, word.find('='));
        }
        ++i;
    }
    return {};
}

} // namespace

void AddCommonFlags(CLI::App& app, CommonFlags& flags) {
    app.set_help_flag();
    app.add_flag("--help,-h", flags.help);
    app.add_flag("--version", flags.version);
}

CLI::Option* AddPortOption(CLI::App& app, std::vector<std::string>& texts) {
    // One value per --port: a word after it is an argument of its own, not a second port.
    return app.add_option("--port", texts)->allow_extra_args(false);
}

std::optional<std::string> ParseArguments(CLI::App& app, int argc, const char* const argv[]) {
    // What CLI11 does not know is told in our words below, not as its own error.
    app.allow_extras();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ArgumentMismatch&) {
        const std::string option = OptionLackingValue(app, argc, argv);
        return option.empty() ? std::string("an option lacks its value")
                              : option + " needs a value";
    } catch (const CLI::ParseError& error) {
        return std::string(error.what());
    }
    const std::vector<std::string> extra = app.remaining();
    if (!extra.empty()) {
        const std::string& word = extra.front();
        if (word.size() > 1 && word[0] == '-') {
            return "unknown option " + word;
        }
        return "unexpected argument \"" + word + "\" (a port is given with --port)";
    }
    return std::nullopt;
}

} // namespace kalvor_tools
