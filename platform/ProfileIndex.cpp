#include "platform/ProfileIndex.h"

#include "platform/TextCase.h"

namespace tarvo {

std::optional<std::string_view> ProfileIndex::SectionOf(std::string_view line) {
    line = Trim(line, kBlanksAndLineEnds);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1), kBlanksAndLineEnds);
}

std::optional<ProfileIndex::KeyLine> ProfileIndex::KeyOf(std::string_view line) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    KeyLine kl{Trim(line.substr(0, eq), kBlanksAndLineEnds),
               Trim(line.substr(eq + 1), kBlanksAndLineEnds)};
    if (kl.value.size() >= 2 && (kl.value.front() == '"' || kl.value.front() == '\'') &&
        kl.value.back() == kl.value.front()) {
        kl.value = kl.value.substr(1, kl.value.size() - 2);
    }
    return kl;
}

ProfileIndex::ProfileIndex(const std::vector<std::string>& lines) {
    // Lines under a header whose section was already seen belong to no readable section.
    Section* current = nullptr;
    for (const std::string& line : lines) {
        if (auto name = SectionOf(line)) {
            auto [at, added] = sections_.try_emplace(Lower(*name));
            current = added ? &at->second : nullptr;
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        if (auto kl = KeyOf(line)) {
            auto [at, added] = current->byKey.try_emplace(Lower(kl->key), current->values.size());
            if (added) {
                current->values.emplace_back(kl->key, kl->value);
            }
        }
    }
}

const ProfileIndex::Section* ProfileIndex::FindSection(std::string_view section) const {
    auto found = sections_.find(Lower(Trim(section, kBlanksAndLineEnds)));
    return found == sections_.end() ? nullptr : &found->second;
}

bool ProfileIndex::HasSection(std::string_view section) const {
    return FindSection(section) != nullptr;
}

std::optional<std::string_view> ProfileIndex::Find(std::string_view section,
                                                   std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return std::nullopt;
    }
    auto at = found->byKey.find(Lower(Trim(key, kBlanksAndLineEnds)));
    if (at == found->byKey.end()) {
        return std::nullopt;
    }
    return found->values[at->second].second;
}

std::vector<std::string> ProfileIndex::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    if (const Section* found = FindSection(section)) {
        for (const auto& [key, value] : found->values) {
            if (!key.empty()) {
                keys.push_back(key);
            }
        }
    }
    return keys;
}

}  // namespace tarvo
