#include "tags/tag_record.h"

#include "common/text.h"

#include <algorithm>

namespace {
const std::string kEmpty;

const TagEntry* Find(const std::vector<TagEntry>& entries, const std::string& key) {
  for (const TagEntry& e : entries)
    if (e.key == key) return &e;
  return nullptr;
}
}  // namespace

const std::string& TagRecord::Get(const std::string& key) const {
  const TagEntry* e = Find(entries_, key);
  return e ? e->value : kEmpty;
}

void TagRecord::Set(const std::string& key, const std::string& value) {
  if (value.empty()) {
    Remove(key);
    return;
  }
  for (TagEntry& e : entries_) {
    if (e.key == key) {
      e.value = value;
      return;
    }
  }
  entries_.insert(entries_.begin(), TagEntry{key, value});
}

void TagRecord::Remove(const std::string& key) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const TagEntry& e) { return e.key == key; }),
                 entries_.end());
}

void TagRecord::SetFromText(const std::string& key, const std::string& text, bool overwrite) {
  if (!overwrite && Find(entries_, key)) return;
  std::string value = CutToCharacters(text, kMaxValue);
  size_t first = value.find_first_not_of(' ');
  if (first == std::string::npos) {
    Remove(key);
    return;
  }
  size_t last = value.find_last_not_of(' ');
  Set(key, value.substr(first, last - first + 1));
}

void TagRecord::Clear() {
  entries_.clear();
  loaded_.clear();
  id3Frames.clear();
}

bool TagRecord::Changed(const std::string& key) const {
  const TagEntry* now = Find(entries_, key);
  const TagEntry* then = Find(loaded_, key);
  if (!now || !then) return now != then;
  return now->value != then->value;
}
