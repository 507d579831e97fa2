#include "browse_screen.h"

#include <algorithm>
#include <sstream>

#include "common/path_text.h"
#include "common/text.h"
#include "model/profile_type.h"

namespace kova::browse {

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The positive number `word` spells, or 0.
int NumberOf(const std::string& word) {
  if (word.empty() || word.size() > 6) return 0;
  int number = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

// The text after the first word of `line` with the blanks around it removed.
std::string Rest(const std::string& line, std::size_t words) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < words; ++i) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos) return std::string();
    at = line.find_first_of(" \t", at);
    if (at == std::string::npos) return std::string();
  }
  const std::size_t begin = line.find_first_not_of(" \t", at);
  if (begin == std::string::npos) return std::string();
  return line.substr(begin, line.find_last_not_of(" \t") + 1 - begin);
}

void SortIgnoringCase(std::vector<std::string>* names) {
  std::sort(names->begin(), names->end(), [](const std::string& a, const std::string& b) {
    return CompareIgnoreCase(a, b) < 0;
  });
}

std::string ApplicationName(LONG code) {
  if (code == kProfileTypeLumaset) return "Lumaset";
  if (code == kProfileTypePendrel) return "Pendrel";
  return "profile";
}

class Screen {
 public:
  Screen(const BrowseSettings& settings, BrowseCatalog* catalog, LineTerminal* terminal)
      : settings_(settings),
        catalog_(catalog),
        terminal_(terminal),
        saveAs_(IsSaveAsMode(settings.mode)),
        extension_(ExtensionOfType(settings.fileTypeCode)) {
    const std::string& start = settings.preselected;
    if (start.find('\\') != std::string::npos) {
      folder_ = CutAtLastBackslash(start) + "\\";
      if (saveAs_) offered_ = FileNameOf(start);
    }
  }

  std::vector<std::string> Run() {
    kovas_ = catalog_->ListKovas();
    Load();
    for (;;) {
      Show();
      std::string line;
      if (!terminal_->ReadLine(&line)) return {};
      switch (Handle(line)) {
        case Step::kStay:
          break;
        case Step::kDone:
          return chosen_;
        case Step::kCancel:
          return {};
      }
    }
  }

 private:
  enum class Step { kStay, kDone, kCancel };

  bool AtKovaList() const { return folder_.empty(); }
  int EntryCount() const {
    return AtKovaList() ? int(kovas_.size()) : int(folders_.size() + files_.size());
  }

  void Load() {
    folders_.clear();
    files_.clear();
    if (AtKovaList()) return;
    folders_ = catalog_->ListFolders(folder_);
    files_ = catalog_->ListFiles(folder_, settings_.fileTypeCode);
    SortIgnoringCase(&folders_);
    SortIgnoringCase(&files_);
  }

  void Enter(const std::string& folder) {
    folder_ = folder;
    Load();
  }

  void Show() {
    std::string text = "\n== " + std::string(saveAs_ ? "Save a " : "Open a ") +
                       ApplicationName(settings_.fileTypeCode) + " file" +
                       (saveAs_ ? " as" : "") + " ==\n";
    if (AtKovaList()) {
      text += "Kovas:\n";
      for (std::size_t i = 0; i < kovas_.size(); ++i) {
        text += Numbered(
            i + 1, kovas_[i].displayName + (kovas_[i].isDefault ? " (default)" : ""));
      }
      if (kovas_.empty()) text += "   (no Kova is defined)\n";
      text += "Commands: a number opens a Kova; q cancels; ? helps\n> ";
      terminal_->Write(text);
      return;
    }
    text += "Folder " + catalog_->DisplayPath(folder_) + "\n";
    std::size_t n = 0;
    for (const std::string& folder : folders_) text += Numbered(++n, folder + "\\");
    for (const std::string& file : files_) text += Numbered(++n, file);
    if (n == 0) text += "   (empty)\n";
    text += "Commands: a number opens a folder or chooses a file";
    if (!saveAs_) text += " (several numbers choose several files)";
    if (settings_.editAllowed)
      text += saveAs_ ? "; n NAME saves as NAME" : "; n NAME opens NAME";
    if (saveAs_ && !offered_.empty()) text += "; Enter saves as " + offered_;
    text += "; u goes up; k lists the Kovas";
    if (settings_.fileOpsAllowed) text += "; r N NAME renames; d N deletes";
    text += "; q cancels; ? helps\n> ";
    terminal_->Write(text);
  }

  static std::string Numbered(std::size_t number, const std::string& text) {
    std::string line = std::to_string(number);
    line.insert(0, line.size() < 4 ? 4 - line.size() : 0, ' ');
    return line + "  " + text + "\n";
  }

  void Say(const std::string& text) { terminal_->Write(text + "\n"); }

  // Reads a yes or no; anything but y counts as no.
  bool Confirm(const std::string& question) {
    terminal_->Write(question + " [y/N] ");
    std::string answer;
    if (!terminal_->ReadLine(&answer)) return false;
    const std::vector<std::string> words = Words(answer);
    return !words.empty() && EqualsIgnoreCase(words[0], "y");
  }

  Step Handle(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) {
      if (saveAs_ && !offered_.empty() && !AtKovaList()) return ChooseName(offered_);
      return Step::kStay;
    }
    if (NumberOf(words[0]) != 0) return Pick(words);
    const std::string command = ToLowerAscii(words[0]);
    if (command == "q") return Step::kCancel;
    if (command == "?" || command == "h") return Help();
    if (command == "k") {
      Enter(std::string());
      return Step::kStay;
    }
    if (AtKovaList()) return Unknown(line);
    if (command == "u") return Up();
    if (command == "n" && settings_.editAllowed) return ChooseName(Rest(line, 1));
    if (command == "r" && settings_.fileOpsAllowed && words.size() >= 3) {
      return Rename(NumberOf(words[1]), Rest(line, 2));
    }
    if (command == "d" && settings_.fileOpsAllowed && words.size() == 2) {
      return Delete(NumberOf(words[1]));
    }
    return Unknown(line);
  }

  Step Unknown(const std::string& line) {
    Say("Not understood: " + line);
    return Step::kStay;
  }

  Step Help() {
    std::string text =
        "Type the number of a line and Enter. In a folder, u goes to the folder "
        "above and k back to the list of Kovas; q closes the dialog without a "
        "choice.";
    if (settings_.editAllowed) {
      text += " n NAME takes a file by its name" +
              (extension_.empty() ? std::string() : " (" + extension_ + " is added)") +
              ".";
    }
    if (settings_.fileOpsAllowed) text += " r N NAME renames file N; d N deletes it.";
    if (!settings_.userFileDir.empty()) text += "\nUser files: " + settings_.userFileDir;
    if (settings_.helpTopic != 0) {
      text += "\nHelp topic " + std::to_string(settings_.helpTopic) + ".";
    }
    Say(text);
    return Step::kStay;
  }

  Step Up() {
    const std::string inside = StripTrailingBackslash(folder_);
    const bool atRoot = std::any_of(kovas_.begin(), kovas_.end(), [&](const auto& kova) {
      return EqualsIgnoreCase(kova.root, folder_);
    });
    if (atRoot || inside.find('\\') == std::string::npos) {
      Enter(std::string());
    } else {
      Enter(CutAtLastBackslash(inside) + "\\");
    }
    return Step::kStay;
  }

  // The file named by entry `number`, or null for a folder or no entry.
  const std::string* FileAt(int number) const {
    const int index = number - 1 - int(folders_.size());
    if (AtKovaList() || index < 0 || index >= int(files_.size())) return nullptr;
    return &files_[std::size_t(index)];
  }

  Step Pick(const std::vector<std::string>& words) {
    std::vector<int> numbers;
    for (const std::string& word : words) {
      const int number = NumberOf(word);
      if (number < 1 || number > EntryCount()) {
        Say("There is no line " + word + ".");
        return Step::kStay;
      }
      if (std::find(numbers.begin(), numbers.end(), number) == numbers.end()) {
        numbers.push_back(number);
      }
    }
    if (AtKovaList() || (numbers.size() == 1 && FileAt(numbers[0]) == nullptr)) {
      if (numbers.size() != 1) {
        Say("Choose one line.");
        return Step::kStay;
      }
      const std::size_t index = std::size_t(numbers[0] - 1);
      Enter(AtKovaList() ? kovas_[index].root : folder_ + folders_[index] + "\\");
      return Step::kStay;
    }
    if (saveAs_ && numbers.size() != 1) {
      Say("Choose one file to save as.");
      return Step::kStay;
    }
    std::vector<std::string> chosen;
    for (int number : numbers) {
      const std::string* file = FileAt(number);
      if (file == nullptr) {
        Say("Several lines choose files only.");
        return Step::kStay;
      }
      chosen.push_back(folder_ + *file);
    }
    if (saveAs_ && !Confirm("Replace " + FileNameOf(chosen[0]) + "?")) return Step::kStay;
    chosen_ = chosen;
    return Step::kDone;
  }

  // `name` with the type's extension when it carries another one or none.
  std::string WithExtension(const std::string& name) const {
    if (extension_.empty() || EqualsIgnoreCase(ExtensionOf(name), extension_))
      return name;
    return name + extension_;
  }

  [[nodiscard]] bool IsPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("\\/<>:") != std::string::npos) {
      Say("A name without a folder, please.");
      return false;
    }
    return true;
  }

  const std::string* ListedFile(const std::string& name) const {
    for (const std::string& file : files_) {
      if (EqualsIgnoreCase(file, name)) return &file;
    }
    return nullptr;
  }

  Step ChooseName(const std::string& typed) {
    if (!IsPlainName(typed)) return Step::kStay;
    const std::string name = WithExtension(typed);
    const std::string* listed = ListedFile(name);
    if (listed == nullptr) listed = ListedFile(typed);
    if (!saveAs_) {
      if (listed == nullptr) {
        Say("There is no file " + name + " here.");
        return Step::kStay;
      }
      chosen_ = {folder_ + *listed};
      return Step::kDone;
    }
    if (listed != nullptr && !Confirm("Replace " + *listed + "?")) return Step::kStay;
    chosen_ = {folder_ + (listed != nullptr ? *listed : name)};
    return Step::kDone;
  }

  Step Rename(int number, const std::string& typed) {
    const std::string* file = FileAt(number);
    if (file == nullptr) {
      Say("Rename a file by its number.");
      return Step::kStay;
    }
    if (!IsPlainName(typed)) return Step::kStay;
    const std::string name = WithExtension(typed);
    if (ListedFile(name) != nullptr) {
      Say("There is a file " + name + " already.");
      return Step::kStay;
    }
    if (!catalog_->RenameFile(folder_ + *file, folder_ + name)) {
      Say(*file + " could not be renamed.");
    }
    Load();
    return Step::kStay;
  }

  Step Delete(int number) {
    const std::string* file = FileAt(number);
    if (file == nullptr) {
      Say("Delete a file by its number.");
      return Step::kStay;
    }
    if (!Confirm("Delete " + *file + "?")) return Step::kStay;
    if (!catalog_->DeleteFile(folder_ + *file)) Say(*file + " could not be deleted.");
    Load();
    return Step::kStay;
  }

  const BrowseSettings& settings_;
  BrowseCatalog* catalog_;
  LineTerminal* terminal_;
  const bool saveAs_;
  const std::string extension_;
  std::string folder_;  // empty: the list of Kovas
  std::string offered_;
  std::vector<BrowseCatalog::Kova> kovas_;
  std::vector<std::string> folders_;
  std::vector<std::string> files_;
  std::vector<std::string> chosen_;
};

}  // namespace

bool IsSaveAsMode(LONG mode) {
  return mode == kKovaBrowseModeLumasetSaveAs || mode == kKovaBrowseModePendrelSaveAs;
}

std::vector<std::string> RunBrowseScreen(const BrowseSettings& settings,
                                         BrowseCatalog* catalog, LineTerminal* terminal) {
  Screen screen(settings, catalog, terminal);
  return screen.Run();
}

}  // namespace kova::browse
