#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "booklist/book_list.h"
#include "builder/build.h"
#include "builder/input.h"
#include "cli/progress.h"
#include "cli/texts.h"
#include "container/extract.h"
#include "container/format.h"
#include "container/texts.h"
#include "platform/file.h"
#include "platform/text.h"
#include "version.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using platform::fill;
using platform::shown;

constexpr std::string_view kProgramName = "tarvello-cli";

// std::filesystem takes a plain std::string in the ANSI code page on Windows; ours are
// UTF-8.
fs::path to_path(const std::string& text) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string from_path(const fs::path& path) {
  auto text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// The builder is handed an absolute folder so the path it prints is useful anywhere.
// Only a trailing "." or separator is tidied: resolving ".." by hand would be wrong after
// a symbolic link.
std::string absolute_folder(const std::string& dir) {
  std::error_code ec;
  fs::path path = fs::absolute(to_path(dir), ec);
  if (ec) return dir;
  while (path.has_relative_path() && (path.filename().empty() || path.filename() == ".")) {
    path = path.parent_path();
  }
  return from_path(path);
}

struct Usage {
  std::string command;  // "" for the program as a whole
  std::string message;
};

int report_usage(const Usage& usage, Streams& streams) {
  std::string program =
      std::string(kProgramName) + (usage.command.empty() ? "" : " " + usage.command);
  streams.err << platform::fill(texts::kUsageError, {usage.message, program});
  return platform::kExitUsage;
}

int report_failure(const std::string& message, Streams& streams) {
  streams.err << message << "\n";
  return platform::kExitFailed;
}

bool interrupted(const Streams& streams) {
  return streams.interrupted && streams.interrupted->load();
}

// ---------------------------------------------------------------------------- pack

struct PackArgs {
  std::string name;
  bool has_name = false;
  std::string reader;
  std::string target;  // --for: "windows" or "linux"
  std::string out_dir;
  std::vector<std::string> paths;
};

// Each path is a PDF file, an e-book whose chapters go in, or a folder whose PDFs go in,
// in the folder listing's order; anything else refuses the whole command.
// A problem is returned rather than printed, so nothing is half done.
std::variant<std::vector<booklist::Entry>, Usage, std::string> collect_entries(
    const std::vector<std::string>& paths) {
  std::vector<booklist::Entry> entries;
  for (const auto& path : paths) {
    builder::Input input = builder::read_input(path, builder::PdfNames::pattern);
    switch (input.kind) {
      case builder::Input::Kind::folder:
      case builder::Input::Kind::book:
      case builder::Input::Kind::pdf:
        std::move(input.entries.begin(), input.entries.end(), std::back_inserter(entries));
        break;
      case builder::Input::Kind::unlisted_folder:
        return fill(texts::kFolderUnreadable, {platform::quoted(path)});
      case builder::Input::Kind::empty_folder:
        return fill(texts::kFolderEmpty, {platform::quoted(path)});
      case builder::Input::Kind::damaged_book:
        return input.message;
      case builder::Input::Kind::not_taken:
        return Usage{"pack", fill(texts::kNotAnInput, {platform::quoted(path)})};
    }
  }
  return entries;
}

// The reader the book starts with: --stub, or the one for --for where this program finds
// its readers.
std::variant<std::string, Usage> reader_for(const PackArgs& args, const std::string& exe_dir) {
  if (!args.reader.empty()) {
    if (!args.target.empty()) return Usage{"pack", std::string(texts::kReaderOrFor)};
    return args.reader;
  }
  const auto system =
      args.target.empty() ? builder::kThisSystem : builder::system_named(args.target);
  if (!system) return Usage{"pack", fill(texts::kBadSystem, {platform::quoted(args.target)})};
  return builder::reader_path(builder::reader_folder(exe_dir), *system);
}

int pack(const PackArgs& args, Streams& streams, const std::string& exe_dir) {
  if (!args.has_name) return report_usage({"pack", std::string(texts::kNeedName)}, streams);
  if (args.paths.empty()) return report_usage({"pack", std::string(texts::kNeedPaths)}, streams);
  auto reader = reader_for(args, exe_dir);
  if (auto* usage = std::get_if<Usage>(&reader)) return report_usage(*usage, streams);
  const std::string out_dir = args.out_dir.empty() ? "." : args.out_dir;
  if (!platform::is_folder(out_dir)) {
    return report_failure(fill(texts::kNoOutDir, {platform::quoted(out_dir)}), streams);
  }

  auto collected = collect_entries(args.paths);
  if (auto* usage = std::get_if<Usage>(&collected)) return report_usage(*usage, streams);
  if (auto* failure = std::get_if<std::string>(&collected))
    return report_failure(*failure, streams);
  auto& entries = std::get<std::vector<booklist::Entry>>(collected);

  ProgressBar bar(streams.err, streams.err_is_terminal);
  builder::BuildRequest request{
      args.name,
      std::move(entries),
      absolute_folder(out_dir),
      std::get<std::string>(reader),
      [&bar](std::uint64_t done, std::uint64_t total) { bar.update(done, total); },
      streams.interrupted};
  const builder::BuildResult result = builder::write_ebook(request);
  bar.finish();
  if (result.ok) {
    streams.out << shown(result.output_path) << "\n";
    return platform::kExitOk;
  }
  report_failure(builder::message(result.failure), streams);
  return result.failure.cause == builder::Cause::cancelled ? platform::kExitInterrupted
                                                           : platform::kExitFailed;
}

// ---------------------------------------------------------------------------- list, check

std::optional<container::Book> open_book(const std::string& path, Streams& streams,
                                         std::optional<platform::File>* keep = nullptr) {
  container::ReadResult result = container::read_book(path, keep);
  if (result.verdict() != container::Verdict::book) {
    report_failure(container::unreadable(path, result), streams);
    return std::nullopt;
  }
  return std::move(result.book);
}

int list(const std::string& ebook, Streams& streams) {
  auto book = open_book(ebook, streams);
  if (!book) return platform::kExitFailed;
  streams.out << shown(book->name) << "\n";
  for (const auto& entry : book->entries) {
    streams.out << entry.position << "\t" << entry.length << "\t" << shown(entry.title) << "\n";
  }
  return platform::kExitOk;
}

int check(const std::string& ebook, Streams& streams) {
  auto book = open_book(ebook, streams);
  if (!book) return platform::kExitFailed;
  streams.out << fill(texts::kChecked,
                      {container::texts::kIntact, std::to_string(book->entries.size())});
  return platform::kExitOk;
}

// ---------------------------------------------------------------------------- extract

int extract(const std::string& ebook, const std::string& dir, Streams& streams) {
  std::optional<platform::File> source;
  auto book = open_book(ebook, streams, &source);
  if (!book) return platform::kExitFailed;
  ProgressBar bar(streams.err, streams.err_is_terminal);
  std::vector<std::string> written;
  const container::ExtractFailure failure = container::extract_all(
      *source, *book, dir, written, [&](std::uint64_t done, std::uint64_t total) {
        bar.update(done, total);
        return !interrupted(streams);
      });
  bar.finish();
  if (failure) {
    report_failure(container::describe(failure), streams);
    return failure.what == container::ExtractFailure::What::stopped ? platform::kExitInterrupted
                                                                    : platform::kExitFailed;
  }
  for (const auto& file : written) streams.out << shown(file) << "\n";
  return platform::kExitOk;
}

// ---------------------------------------------------------------------------- the table

std::string text(std::string_view view) {
  return std::string(view);
}

std::shared_ptr<CLI::Formatter> chinese_formatter() {
  auto formatter = std::make_shared<CLI::Formatter>();
  formatter->label("Usage", text(texts::kUsageLabel));
  formatter->label("OPTIONS", text(texts::kOptionsLabel));
  formatter->label("Positionals", text(texts::kArgumentsLabel));
  formatter->label("SUBCOMMAND", text(texts::kCommandsLabel));
  formatter->label("SUBCOMMANDS", text(texts::kCommandsLabel));
  formatter->label("REQUIRED", text(texts::kRequiredLabel));
  formatter->column_width(34);
  return formatter;
}

CLI::App* add_command(CLI::App& app, const std::string& name, std::string_view description) {
  CLI::App* command = app.add_subcommand(name, text(description));
  command->group(text(texts::kCommandsLabel));
  // A subcommand takes the help flag over before it takes the option defaults, so the
  // flag is set again to land in the Chinese group.
  command->set_help_flag("-h,--help", text(texts::kHelpFlag));
  return command;
}

// Every command of the command line with its options and arguments, and where the words
// of each land. The parser holds references into it, so it stays where it was made.
struct CommandLine {
  CLI::App app{text(texts::kSummary), std::string(kProgramName)};
  PackArgs pack_args;
  std::string list_ebook;
  std::string extract_ebook;
  std::string extract_dir;
  std::string check_ebook;
  CLI::Option* name_option = nullptr;
  CLI::App* pack_command = nullptr;
  CLI::App* list_command = nullptr;
  CLI::App* extract_command = nullptr;
  CLI::App* check_command = nullptr;

  CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  std::string& ebook_of(const CLI::App* command) {
    return command == list_command      ? list_ebook
           : command == extract_command ? extract_ebook
                                        : check_ebook;
  }
};

CommandLine::CommandLine() {
  app.formatter(chinese_formatter());
  app.option_defaults()->group(text(texts::kOptionsLabel));
  app.set_help_flag("-h,--help", text(texts::kHelpFlag));
  app.set_version_flag("--version", std::string(kProgramName) + " " + TARVELLO_VERSION,
                       text(texts::kVersionFlag));
  // Unknown words are collected and reported in Chinese by run_command.
  app.allow_extras();

  pack_command = add_command(app, "pack", texts::kPackSummary);
  name_option = pack_command->add_option("--name", pack_args.name, text(texts::kNameOption))
                    ->type_name("NAME");
  pack_command->add_option("--for", pack_args.target, text(texts::kForOption))->type_name("SYSTEM");
  // The option keeps the spelling that scripts already type.
  pack_command->add_option("--stub", pack_args.reader, text(texts::kReaderOption))
      ->type_name("FILE");
  pack_command->add_option("--out-dir", pack_args.out_dir, text(texts::kOutDirOption))
      ->type_name("DIR");
  pack_command->add_option("PATH", pack_args.paths, text(texts::kPathsArgument))->type_name("");

  list_command = add_command(app, "list", texts::kListSummary);
  list_command->add_option("EBOOK", list_ebook, text(texts::kEbookArgument))->type_name("");

  extract_command = add_command(app, "extract", texts::kExtractSummary);
  extract_command->add_option("EBOOK", extract_ebook, text(texts::kEbookArgument))->type_name("");
  extract_command->add_option("DIR", extract_dir, text(texts::kDirArgument))->type_name("");

  check_command = add_command(app, "check", texts::kCheckSummary);
  check_command->add_option("EBOOK", check_ebook, text(texts::kEbookArgument))->type_name("");
}

// ---------------------------------------------------------------------------- parsing

// The option a CLI11 message names, e.g. "--name" of "--name: 1 required TEXT missing".
std::string option_of(const std::string& message) {
  auto colon = message.find(':');
  return colon == std::string::npos ? std::string() : message.substr(0, colon);
}

Usage usage_from(const CLI::ParseError& error, const std::string& command) {
  std::string what = error.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    std::string option = option_of(what);
    if (what.find("At Most") != std::string::npos) {
      return {command, fill(texts::kOptionTwice, {option})};
    }
    return {command, fill(texts::kOptionNeedsValue, {option})};
  }
  return {command, fill(texts::kBadArguments, {what})};
}

// The words after the program's name, and apart from them the names after "--": every
// one a file name, even one that starts with "-".
struct Words {
  std::vector<std::string> options;
  std::vector<std::string> names;
};

Words split_words(const std::vector<std::string>& args) {
  Words words;
  words.options.assign(args.begin() + (args.empty() ? 0 : 1), args.end());
  auto dashes = std::find(words.options.begin(), words.options.end(), "--");
  if (dashes != words.options.end()) {
    words.names.assign(dashes + 1, words.options.end());
    words.options.erase(dashes, words.options.end());
  }
  return words;
}

// Fills the table from `words`. Help, the version and a usage error end the run here,
// with their exit code.
std::optional<int> parse(CommandLine& line, std::vector<std::string> words, Streams& streams) {
  // CLI11 takes the words after the program's name, last first.
  std::reverse(words.begin(), words.end());
  try {
    line.app.parse(words);
  } catch (const CLI::CallForHelp&) {
    streams.out << line.app.help();
    return platform::kExitOk;
  } catch (const CLI::CallForVersion& version) {
    streams.out << version.what() << "\n";
    return platform::kExitOk;
  } catch (const CLI::ParseError& error) {
    auto chosen = line.app.get_subcommands();
    return report_usage(usage_from(error, chosen.empty() ? "" : chosen.front()->get_name()),
                        streams);
  }
  return std::nullopt;
}

int no_command(CommandLine& line, Streams& streams) {
  auto extras = line.app.remaining();
  if (!extras.empty()) {
    return report_usage({"", fill(texts::kUnknownCommand, {platform::quoted(extras.front())})},
                        streams);
  }
  streams.err << line.app.help();
  return report_usage({"", text(texts::kNeedCommand)}, streams);
}

// ---------------------------------------------------------------------------- dispatch

// Runs the command the table chose, with `names` (the words after "--") as its files.
int run_command(CommandLine& line, std::vector<std::string> names, Streams& streams,
                const std::string& exe_dir) {
  auto chosen = line.app.get_subcommands();
  if (chosen.empty()) return no_command(line, streams);
  CLI::App* command = chosen.front();
  const std::string name = command->get_name();
  if (auto extras = line.app.remaining(true); !extras.empty()) {
    std::string joined;
    for (const auto& word : extras) joined += (joined.empty() ? "" : " ") + shown(word, 40);
    return report_usage({name, fill(texts::kUnrecognized, {joined})}, streams);
  }

  if (command == line.pack_command) {
    line.pack_args.has_name = line.name_option->count() > 0;
    line.pack_args.paths.insert(line.pack_args.paths.end(), names.begin(), names.end());
    return pack(line.pack_args, streams, exe_dir);
  }
  std::string& ebook = line.ebook_of(command);
  std::string& dir = line.extract_dir;
  const bool takes_dir = command == line.extract_command;
  // Names after "--" fill what is still missing, in order.
  for (std::string* slot : {&ebook, &dir}) {
    if (slot->empty() && !names.empty() && (slot == &ebook || takes_dir)) {
      *slot = names.front();
      names.erase(names.begin());
    }
  }
  if (!names.empty()) {
    return report_usage(
        {name, fill(texts::kTooManyWords, {platform::quoted(shown(names.front(), 40))})}, streams);
  }
  if (ebook.empty()) return report_usage({name, text(texts::kNeedEbook)}, streams);
  if (command == line.list_command) return list(ebook, streams);
  if (command == line.check_command) return check(ebook, streams);
  if (dir.empty()) return report_usage({name, text(texts::kNeedDir)}, streams);
  return extract(ebook, dir, streams);
}

int parse_and_run(const std::vector<std::string>& args, Streams& streams,
                  const std::string& exe_dir) {
  CommandLine line;
  Words words = split_words(args);
  if (auto done = parse(line, std::move(words.options), streams)) return *done;
  return run_command(line, std::move(words.names), streams, exe_dir);
}

}  // namespace

int run(const std::vector<std::string>& args, Streams streams, const std::string& exe_dir) {
  try {
    return parse_and_run(args, streams, exe_dir);
  } catch (const std::exception& error) {
    // Out of memory and the like: still a clean exit with a reason.
    streams.err << fill(texts::kInternalError, {error.what()});
    return platform::kExitFailed;
  }
}

}  // namespace cli
