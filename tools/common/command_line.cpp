#include "tools/common/command_line.h"

#include <CLI/CLI.hpp>

#include <utility>

namespace tools {

namespace {

struct HelpAsked {};

} // namespace

CommandLine::CommandLine() : m_app(std::make_unique<CLI::App>())
{
    m_app->set_help_flag();
    m_app->allow_extras();
    m_app->add_flag_callback("-h,--help", [] { throw HelpAsked{}; })->trigger_on_parse();
}

CommandLine::~CommandLine() = default;

void CommandLine::Value(const std::string& name, std::function<void(const std::string& value)> take)
{
    m_app->add_option_function<std::string>(name, std::move(take))
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void CommandLine::Flag(const std::string& names, std::function<void()> set)
{
    m_app->add_flag_callback(names, std::move(set))->trigger_on_parse();
}

CommandLine::Outcome CommandLine::Read(int count, const char* const* arguments)
{
    m_problem.clear();
    m_words.clear();
    // CLI11 reads the arguments from the back of a reversed list.
    std::vector<std::string> reversed;
    for (int i = count - 1; i >= 0; --i) {
        reversed.emplace_back(arguments[i] != nullptr ? arguments[i] : "");
    }
    Outcome outcome = Outcome::Read;
    try {
        m_app->parse(reversed);
    } catch (const HelpAsked&) {
        outcome = Outcome::Help;
    } catch (const BadValue& bad) {
        m_problem = bad.problem;
        outcome = Outcome::BadValue;
    } catch (const CLI::ArgumentMismatch&) {
        // Only the last argument can lack the value it asks for; written
        // "--fps=" it is told as the option's name.
        m_problem = count > 0 && arguments[count - 1] != nullptr ? arguments[count - 1] : "";
        if (m_problem.rfind("--", 0) == 0) {
            m_problem = m_problem.substr(0, m_problem.find('='));
        }
        outcome = Outcome::MissingValue;
    } catch (const CLI::ParseError& error) {
        m_problem = error.what();
        outcome = Outcome::BadValue;
    }
    m_words = m_app->remaining();
    m_outcome = outcome;
    return outcome;
}

std::string CommandLine::Fault() const
{
    switch (m_outcome) {
    case Outcome::BadValue:
        return m_problem;
    case Outcome::MissingValue:
        return m_problem + " needs a value";
    case Outcome::Read:
    case Outcome::Help:
        break;
    }
    return std::string();
}

bool IsOptionLike(const std::string& word)
{
    return word.size() > 1 && word[0] == '-';
}

bool ReadFilesLine(CommandLine* line, const std::vector<std::string>& arguments, const std::string& program,
                   const char* usage, std::vector<std::string>* files, bool* help, std::ostream& err)
{
    std::vector<const char*> texts;
    for (const std::string& argument : arguments) {
        texts.push_back(argument.c_str());
    }
    const CommandLine::Outcome outcome = line->Read(static_cast<int>(texts.size()), texts.data());
    for (const std::string& word : line->Words()) {
        if (word.rfind("--", 0) == 0) {
            err << program << ": unknown option " << word << "\n" << usage;
            return false;
        }
        files->push_back(word);
    }
    if (outcome == CommandLine::Outcome::Help) {
        *help = true;
        return true;
    }
    if (outcome != CommandLine::Outcome::Read) {
        err << program << ": " << line->Fault() << "\n";
        if (outcome == CommandLine::Outcome::MissingValue) {
            err << usage;
        }
        return false;
    }
    if (files->empty()) {
        err << usage;
        return false;
    }
    return true;
}

} // namespace tools
