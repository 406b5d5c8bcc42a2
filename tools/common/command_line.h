// The command lines of the programs beside the player, read with CLI11 the
// same way in each, front to back: options that take one value hand it to
// the program's own check as they are read; the last of a repeated option
// counts; "-h" and "--help" ask for the program's help; the reading stops
// at the first bad value or at the help. The words that are no option's
// (and options nobody knows) come back in order, those read before the stop
// only, so that a program that checks them first and the outcome second
// tells the first fault of the line. Messages stay the program's own.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tools {

// Thrown by a program's value check to stop the reading with `problem`.
struct BadValue {
    std::string problem;
};

class CommandLine {
public:
    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // An option such as "--fps" taking the next argument as its value
    // (whatever it looks like), handed to `take` each time it is given.
    void Value(const std::string& name, std::function<void(const std::string& value)> take);
    // An option without a value; `names` as CLI11 writes them ("-q,--quiet").
    void Flag(const std::string& names, std::function<void()> set);

    enum class Outcome {
        Read,         // the whole line
        Help,         // -h or --help
        BadValue,     // Problem() is the check's reason
        MissingValue, // Problem() is the option that ended the line
    };
    // Reads `count` arguments (without the program's name).
    Outcome Read(int count, const char* const* arguments);

    const std::string& Problem() const { return m_problem; }
    // What was wrong with the line as the tools tell it, after a BadValue
    // (the check's reason) or a MissingValue ("--fps needs a value");
    // empty after the other outcomes.
    std::string Fault() const;
    // Arguments before the stop that are no option's, in order: words, and
    // unknown options (IsOptionLike tells them apart).
    const std::vector<std::string>& Words() const { return m_words; }

private:
    std::unique_ptr<CLI::App> m_app;
    Outcome m_outcome = Outcome::Read;
    std::string m_problem;
    std::vector<std::string> m_words;
};

// Whether `word` is written as an option: a '-' and at least one more
// character (a lone "-" is a word).
bool IsOptionLike(const std::string& word);

// Reads the line of a program whose words are the files it works on
// (zolt-import, zolt-view): a word written as a long option ("--x") is an
// option nobody knows, any other word a file. False after the program's
// message on `err` ("PROGRAM: ..." and, where it helps, the usage); *help
// when help was asked, with *files those read before it.
bool ReadFilesLine(CommandLine* line, const std::vector<std::string>& arguments, const std::string& program,
                   const char* usage, std::vector<std::string>* files, bool* help, std::ostream& err);

} // namespace tools
