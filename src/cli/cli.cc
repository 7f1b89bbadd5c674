#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <iterator>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "version.h"
#include "booklist/book_list.h"
#include "booklist/names.h"
#include "builder/build.h"
#include "cli/progress.h"
#include "container/extract.h"
#include "container/format.h"
#include "platform/file.h"
#include "platform/text.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using platform::shown;

constexpr std::string_view kProgramName = "tarvello-cli";

// The readers an e-book can start with, beside this program: the one for this system is
// books.ini, the other system's carries its name.
constexpr std::string_view kOtherReaderWindows = "books-windows.ini";
constexpr std::string_view kOtherReaderLinux = "books-linux.ini";
#ifdef _WIN32
constexpr std::string_view kThisSystem = "windows";
#else
constexpr std::string_view kThisSystem = "linux";
#endif

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
  streams.err << platform::fill(platform::texts::kUsageError, {usage.message, program});
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
  std::string stub;
  std::string target;  // --for: "windows" or "linux"
  std::string out_dir;
  std::vector<std::string> paths;
};

// Each path is a PDF file, an e-book whose chapters go in, or a folder whose PDFs go in,
// in the folder listing's order.
// A problem is returned rather than printed, so nothing is half done.
std::variant<std::vector<booklist::Entry>, Usage, std::string> collect_entries(
    const std::vector<std::string>& paths) {
  std::vector<booklist::Entry> entries;
  for (const auto& path : paths) {
    if (platform::is_folder(path)) {
      auto listed = booklist::folder_entries(path);
      if (!listed) return "无法读取文件夹" + platform::quoted(path) + "中的文件列表。";
      if (listed->empty()) return "文件夹" + platform::quoted(path) + "里没有 PDF 文件。";
      std::move(listed->begin(), listed->end(), std::back_inserter(entries));
    } else {
      // An e-book by its content, whatever its name, brings its chapters.
      builder::Chapters chapters = builder::read_chapters(path);
      if (chapters.kind == builder::Chapters::Kind::damaged) return chapters.message;
      if (chapters.kind == builder::Chapters::Kind::book) {
        std::move(chapters.entries.begin(), chapters.entries.end(), std::back_inserter(entries));
        continue;
      }
      std::string name = platform::base_name(path);
      if (!booklist::matches_pdf_pattern(name)) {
        return Usage{"pack", platform::quoted(path) + "既不是文件夹、电子书，名字也不以 .pdf 结尾"};
      }
      entries.push_back({booklist::title_from_file_name(name), path});
    }
  }
  return entries;
}

// The reader the book starts with: --stub, or the one for --for beside this program.
std::variant<std::string, Usage> reader_for(const PackArgs& args, const std::string& exe_dir) {
  if (!args.stub.empty()) {
    if (!args.target.empty()) return Usage{"pack", "--stub 和 --for 只能给出其中一个"};
    return args.stub;
  }
  const std::string target = args.target.empty() ? std::string(kThisSystem) : args.target;
  if (target != "windows" && target != "linux") {
    return Usage{"pack", "--for 只能是 windows 或 linux，不能是" + platform::quoted(target)};
  }
  if (target == kThisSystem) return builder::stub_path(exe_dir);
  return platform::join(exe_dir,
                        std::string(target == "windows" ? kOtherReaderWindows : kOtherReaderLinux));
}

int pack(const PackArgs& args, Streams& streams, const std::string& exe_dir) {
  if (!args.has_name) return report_usage({"pack", "缺少书名，请用 --name 给出"}, streams);
  if (args.paths.empty()) {
    return report_usage({"pack", "缺少要打包的 PDF 文件或文件夹"}, streams);
  }
  auto reader = reader_for(args, exe_dir);
  if (auto* usage = std::get_if<Usage>(&reader)) return report_usage(*usage, streams);
  const std::string out_dir = args.out_dir.empty() ? "." : args.out_dir;
  if (!platform::is_folder(out_dir)) {
    return report_failure("输出文件夹" + platform::quoted(out_dir) + "不存在。", streams);
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
  if (result.error != container::ReadError::none || !result.book) {
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
  streams.out << "结构完整：" << book->entries.size() << " 个文件\n";
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
  app.set_version_flag("--version", std::string(kProgramName) + " " + TARVELLO_VERSION,
                       "显示版本后退出");
  // Unknown words are collected and reported in Chinese below.
  app.allow_extras();

  PackArgs pack_args;
  CLI::App* pack_command =
      add_command(app, "pack", "把 PDF 文件和文件夹中的 PDF 文件按顺序打包成一本电子书");
  auto* name_option =
      pack_command->add_option("--name", pack_args.name, "书名（必需）")->type_name("NAME");
  pack_command
      ->add_option("--for", pack_args.target,
                   "电子书在哪种系统上阅读：windows 或 linux，默认为本系统；取程序旁的阅读器")
      ->type_name("SYSTEM");
  pack_command->add_option("--stub", pack_args.stub, "阅读器文件，默认按 --for 取程序旁的阅读器")
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

  // Everything after "--" is a file name, even one that starts with "-".
  std::vector<std::string> words(args.begin() + (args.empty() ? 0 : 1), args.end());
  std::vector<std::string> names;
  if (auto dashes = std::find(words.begin(), words.end(), "--"); dashes != words.end()) {
    names.assign(dashes + 1, words.end());
    words.erase(dashes, words.end());
  }
  // CLI11 takes the words after the program's name, last first.
  std::reverse(words.begin(), words.end());
  try {
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    streams.out << app.help();
    return platform::kExitOk;
  } catch (const CLI::CallForVersion& version) {
    streams.out << version.what() << "\n";
    return platform::kExitOk;
  } catch (const CLI::ParseError& error) {
    auto chosen = app.get_subcommands();
    return report_usage(usage_from(error, chosen.empty() ? "" : chosen.front()->get_name()),
                        streams);
  }

  auto chosen = app.get_subcommands();
  if (chosen.empty()) {
    auto extras = app.remaining();
    if (!extras.empty())
      return report_usage({"", "没有" + platform::quoted(extras.front()) + "这个命令"}, streams);
    streams.err << app.help();
    return report_usage({"", "缺少命令：pack、list、extract 或 check"}, streams);
  }
  CLI::App* command = chosen.front();
  auto extras = app.remaining(true);
  if (!extras.empty()) {
    std::string joined;
    for (const auto& word : extras) joined += (joined.empty() ? "" : " ") + shown(word, 40);
    return report_usage({command->get_name(), "无法识别的参数：" + joined}, streams);
  }

  if (command == pack_command) {
    pack_args.has_name = name_option->count() > 0;
    pack_args.paths.insert(pack_args.paths.end(), names.begin(), names.end());
    return pack(pack_args, streams, exe_dir);
  }
  std::string& ebook = command == list_command      ? list_ebook
                       : command == extract_command ? extract_ebook
                                                    : check_ebook;
  // Names after "--" fill what is still missing, in order.
  for (std::string* slot : {&ebook, &extract_dir}) {
    if (slot->empty() && !names.empty() && (slot == &ebook || command == extract_command)) {
      *slot = names.front();
      names.erase(names.begin());
    }
  }
  if (!names.empty()) {
    return report_usage({command->get_name(), "多余的参数：" + shown(names.front(), 40)}, streams);
  }
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
    return platform::kExitFailed;
  }
}

}  // namespace cli
