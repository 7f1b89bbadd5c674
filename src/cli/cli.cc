#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "app/commands.h"
#include "app/desktop.h"
#include "booklist/book_list.h"
#include "booklist/names.h"
#include "builder/build.h"
#include "builder/container.h"
#include "builder/extract_name.h"
#include "cli/progress.h"
#include "platform/file.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

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

bool is_folder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(to_path(path), ec);
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

std::string in_quotes(const std::string& text) {
  return "“" + text + "”";
}

// Titles and names come from files we did not make: control characters would act on the
// terminal, so they are shown as '?'.
std::string printable(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return out;
}

// The window's port, for a process without a window: its messages are kept for the
// caller to print; there is nothing to pick, open or end.
class CommandLineDesktop final : public app::Desktop {
 public:
  void show_message(const std::string& text) override { messages.push_back(text); }
  void set_busy(bool) override {}
  std::optional<app::PickedFile> pick_pdf_file(const std::string&) override { return std::nullopt; }
  std::optional<std::string> pick_folder() override { return std::nullopt; }
  void open_address(const std::string&) override {}
  void end_process() override {}

  std::vector<std::string> messages;
};

struct Usage {
  std::string command;  // "" for the program as a whole
  std::string message;
};

int report_usage(const Usage& usage, Streams& streams) {
  std::string help = std::string(kProgramName) + (usage.command.empty() ? "" : " " + usage.command);
  streams.err << "用法错误：" << usage.message << "\n"
              << "请运行“" << help << " --help”查看用法。\n";
  return kUsage;
}

int report_failure(const std::string& message, Streams& streams) {
  streams.err << message << "\n";
  return kFailed;
}

// ---------------------------------------------------------------------------- pack

struct PackArgs {
  std::string name;
  bool has_name = false;
  std::string stub;
  std::string out_dir;
  std::vector<std::string> paths;
};

// Each path is a PDF file or a folder whose PDFs go in, in the folder listing's order.
// A usage problem is returned rather than printed, so nothing is half done.
std::variant<std::vector<booklist::Entry>, Usage, std::string> collect_entries(
    const std::vector<std::string>& paths) {
  std::vector<booklist::Entry> entries;
  for (const auto& path : paths) {
    if (is_folder(path)) {
      auto names = booklist::list_pdf_names(path);
      if (!names) return "无法读取文件夹" + in_quotes(path) + "中的文件列表";
      for (const auto& name : *names) {
        entries.push_back(
            {booklist::title_from_file_name(name), booklist::folder_entry_path(path, name)});
      }
    } else {
      std::string name = platform::base_name(path);
      if (!booklist::matches_pdf_pattern(name)) {
        return Usage{"pack", in_quotes(path) + "既不是文件夹，名字也不以 .pdf 结尾"};
      }
      entries.push_back({booklist::title_from_file_name(name), path});
    }
  }
  return entries;
}

int pack(const PackArgs& args, Streams& streams, const std::string& exe_dir) {
  if (!args.has_name) return report_usage({"pack", "缺少书名，请用 --name 给出"}, streams);
  if (args.paths.empty()) {
    return report_usage({"pack", "缺少要打包的 PDF 文件或文件夹"}, streams);
  }

  auto collected = collect_entries(args.paths);
  if (auto* usage = std::get_if<Usage>(&collected)) return report_usage(*usage, streams);
  if (auto* failure = std::get_if<std::string>(&collected))
    return report_failure(*failure, streams);
  auto& entries = std::get<std::vector<booklist::Entry>>(collected);

  // The window simply stops adding at the limit; here the user named every file, so
  // quietly leaving some out would make a different book than asked for.
  if (entries.size() > static_cast<std::size_t>(booklist::BookList::kMaxEntries)) {
    return report_failure("文件太多：一本电子书最多容纳 " +
                              std::to_string(booklist::BookList::kMaxEntries) +
                              " 个 PDF 文件，这里给出了 " + std::to_string(entries.size()) + " 个",
                          streams);
  }
  booklist::BookList books;
  for (auto& entry : entries) books.append(std::move(entry));

  std::string stub =
      args.stub.empty() ? platform::join(exe_dir, std::string(builder::kStubFileName)) : args.stub;
  std::string out_dir = absolute_folder(args.out_dir.empty() ? "." : args.out_dir);

  CommandLineDesktop desktop;
  ProgressBar bar(streams.err, streams.err_is_terminal);
  auto report =
      app::build(args.name, books, out_dir, stub, desktop,
                 [&bar](std::uint64_t done, std::uint64_t total) { bar.update(done, total); });
  bar.finish();

  switch (report.outcome) {
    case app::BuildOutcome::built:
      streams.out << report.result.output_path << "\n";
      return kOk;
    case app::BuildOutcome::need_name:
    case app::BuildOutcome::need_files:
      // The build's own input checks: their messages are the window's, word for word.
      return report_failure(desktop.messages.empty() ? std::string() : desktop.messages.back(),
                            streams);
    case app::BuildOutcome::failed:
      break;
  }
  // Not the window's one fixed message: here the user gets the step, file and cause.
  return report_failure(builder::describe(report.result.failure), streams);
}

// ---------------------------------------------------------------------------- list, check

std::optional<builder::Book> open_book(const std::string& path, Streams& streams) {
  auto result = builder::read_book(path);
  if (result.error != builder::ReadError::none || !result.book) {
    report_failure("无法读取电子书" + in_quotes(path) + "：" + builder::describe(result), streams);
    return std::nullopt;
  }
  return std::move(result.book);
}

int list(const std::string& ebook, Streams& streams) {
  auto book = open_book(ebook, streams);
  if (!book) return kFailed;
  streams.out << printable(book->name) << "\n";
  for (const auto& entry : book->entries) {
    streams.out << entry.position << "\t" << entry.length << "\t" << printable(entry.title) << "\n";
  }
  return kOk;
}

int check(const std::string& ebook, Streams& streams) {
  auto book = open_book(ebook, streams);
  if (!book) return kFailed;
  streams.out << "结构完整：" << book->entries.size() << " 个文件\n";
  return kOk;
}

// ---------------------------------------------------------------------------- extract

int extract(const std::string& ebook, const std::string& dir, Streams& streams) {
  if (!is_folder(dir)) return report_failure("文件夹" + in_quotes(dir) + "不存在", streams);

  platform::Error error;
  auto source = platform::File::open_read(ebook, error);
  if (!source) {
    return report_failure("无法打开电子书" + in_quotes(ebook) + "：" + error.message, streams);
  }
  auto result = builder::read_book(*source);
  if (result.error != builder::ReadError::none || !result.book) {
    return report_failure("无法读取电子书" + in_quotes(ebook) + "：" + builder::describe(result),
                          streams);
  }
  const auto& entries = result.book->entries;

  std::vector<std::string> targets;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    targets.push_back(
        platform::join(dir, builder::extract_file_name(i + 1, entries.size(), entries[i].title)));
    total += entries[i].length;
  }
  // Refuse before writing anything, so a second run into the same folder changes nothing.
  for (const auto& target : targets) {
    if (platform::path_exists(target)) {
      return report_failure("文件" + in_quotes(target) + "已存在，不会覆盖它；没有取出任何文件",
                            streams);
    }
  }

  ProgressBar bar(streams.err, streams.err_is_terminal);
  std::uint64_t done = 0;  // bytes copied so far, of all files
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& target = targets[i];
    auto out = platform::File::create_new(target, error);
    if (!out) {
      bar.finish();
      if (platform::path_exists(target)) {
        return report_failure("文件" + in_quotes(target) + "已存在，不会覆盖它", streams);
      }
      return report_failure("无法创建文件" + in_quotes(target) + "：" + error.message, streams);
    }
    bool copied = out->copy_from(*source, entries[i].position - 1, entries[i].length, error,
                                 [&](std::uint64_t piece) { bar.update(done += piece, total); });
    // Some file systems report a failed write only when the file is closed.
    bool closed = copied ? out->close(error) : (out->close(), false);
    if (!closed) {
      bar.finish();
      // Only the file this run created goes; a half-written PDF is worse than none.
      platform::Error ignored;
      platform::delete_file(target, ignored);
      return report_failure("无法写入文件" + in_quotes(target) + "：" + error.message, streams);
    }
    bar.finish();
    streams.out << target << "\n";
  }
  return kOk;
}

// ---------------------------------------------------------------------------- parsing

std::shared_ptr<CLI::Formatter> chinese_formatter() {
  auto formatter = std::make_shared<CLI::Formatter>();
  formatter->label("Usage", "用法");
  formatter->label("OPTIONS", "选项");
  formatter->label("Positionals", "参数");
  formatter->label("SUBCOMMAND", "命令");
  formatter->label("SUBCOMMANDS", "命令");
  formatter->label("REQUIRED", "必需");
  formatter->column_width(34);
  return formatter;
}

CLI::App* add_command(CLI::App& app, const std::string& name, const std::string& description) {
  CLI::App* command = app.add_subcommand(name, description);
  command->group("命令");
  // A subcommand takes the help flag over before it takes the option defaults, so the
  // flag is set again to land in the Chinese group.
  command->set_help_flag("-h,--help", "显示本帮助后退出");
  return command;
}

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
      return {command, "选项 " + option + " 只能给一次"};
    }
    return {command, "选项 " + option + " 缺少取值"};
  }
  return {command, "参数有误（" + what + "）"};
}

int parse_and_run(const std::vector<std::string>& args, Streams& streams,
                  const std::string& exe_dir) {
  CLI::App app("把 PDF 文件打包成电子书，或者列出、取出、检查电子书中的 PDF 文件。",
               std::string(kProgramName));
  app.formatter(chinese_formatter());
  app.option_defaults()->group("选项");
  app.set_help_flag("-h,--help", "显示本帮助后退出");
  // Unknown words are collected and reported in Chinese below.
  app.allow_extras();

  PackArgs pack_args;
  CLI::App* pack_command =
      add_command(app, "pack", "把 PDF 文件和文件夹中的 PDF 文件按顺序打包成一本电子书");
  auto* name_option =
      pack_command->add_option("--name", pack_args.name, "书名（必需）")->type_name("NAME");
  pack_command->add_option("--stub", pack_args.stub, "阅读器文件，默认为程序旁的 books.ini")
      ->type_name("FILE");
  pack_command->add_option("--out-dir", pack_args.out_dir, "电子书写到这个文件夹，默认为当前文件夹")
      ->type_name("DIR");
  pack_command
      ->add_option("PATH", pack_args.paths,
                   "PDF 文件（名字以 .pdf 结尾，不分大小写）或文件夹（取其中的 PDF 文件，"
                   "按名字排序），按给出的顺序收入")
      ->type_name("");

  std::string list_ebook;
  CLI::App* list_command =
      add_command(app, "list", "列出电子书的书名和其中每个 PDF 文件的位置、长度和标题");
  list_command->add_option("EBOOK", list_ebook, "电子书文件")->type_name("");

  std::string extract_ebook;
  std::string extract_dir;
  CLI::App* extract_command = add_command(
      app, "extract", "把电子书中的每个 PDF 文件取出到一个已有的文件夹，不覆盖任何文件");
  extract_command->add_option("EBOOK", extract_ebook, "电子书文件")->type_name("");
  extract_command->add_option("DIR", extract_dir, "目标文件夹，须已存在")->type_name("");

  std::string check_ebook;
  CLI::App* check_command = add_command(app, "check", "检查电子书的结构是否完整");
  check_command->add_option("EBOOK", check_ebook, "电子书文件")->type_name("");

  // CLI11 takes the words after the program's name, last first.
  std::vector<std::string> words(args.begin() + (args.empty() ? 0 : 1), args.end());
  std::reverse(words.begin(), words.end());
  try {
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    streams.out << app.help();
    return kOk;
  } catch (const CLI::ParseError& error) {
    auto chosen = app.get_subcommands();
    return report_usage(usage_from(error, chosen.empty() ? "" : chosen.front()->get_name()),
                        streams);
  }

  auto chosen = app.get_subcommands();
  if (chosen.empty()) {
    auto extras = app.remaining();
    if (!extras.empty())
      return report_usage({"", "没有" + in_quotes(extras.front()) + "这个命令"}, streams);
    streams.err << app.help();
    return report_usage({"", "缺少命令：pack、list、extract 或 check"}, streams);
  }
  CLI::App* command = chosen.front();
  auto extras = app.remaining(true);
  if (!extras.empty()) {
    std::string joined;
    for (const auto& word : extras) joined += (joined.empty() ? "" : " ") + word;
    return report_usage({command->get_name(), "无法识别的参数：" + joined}, streams);
  }

  if (command == pack_command) {
    pack_args.has_name = name_option->count() > 0;
    return pack(pack_args, streams, exe_dir);
  }
  const std::string& ebook = command == list_command      ? list_ebook
                             : command == extract_command ? extract_ebook
                                                          : check_ebook;
  if (ebook.empty()) return report_usage({command->get_name(), "缺少电子书文件"}, streams);
  if (command == list_command) return list(ebook, streams);
  if (command == check_command) return check(ebook, streams);
  if (extract_dir.empty()) return report_usage({"extract", "缺少目标文件夹"}, streams);
  return extract(ebook, extract_dir, streams);
}

}  // namespace

int run(const std::vector<std::string>& args, Streams streams, const std::string& exe_dir) {
  try {
    return parse_and_run(args, streams, exe_dir);
  } catch (const std::exception& error) {
    // Out of memory and the like: still a clean exit with a reason.
    streams.err << "内部错误：" << error.what() << "\n";
    return kFailed;
  }
}

}  // namespace cli
