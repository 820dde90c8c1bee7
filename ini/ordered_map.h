#pragma once
// A map with string keys that keeps the order in which keys were first inserted.
// A missing key reads as a default value; writing a key adds it on first write.

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/text.h"

template <typename Value>
class OrderedMap {
public:
    // The entry for key, created with a default value on first use.
    Value& operator[](std::string_view key) {
        auto found = index_.find(std::string(key));
        if (found != index_.end()) return entries_[found->second].second;
        index_.emplace(std::string(key), entries_.size());
        entries_.emplace_back(std::string(key), Value{});
        return entries_.back().second;
    }

    // The entry for key, or a default value when the key is absent.
    const Value& get(std::string_view key) const {
        static const Value empty{};
        auto found = index_.find(std::string(key));
        return found == index_.end() ? empty : entries_[found->second].second;
    }

    bool contains(std::string_view key) const { return index_.count(std::string(key)) != 0; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear() { entries_.clear(); index_.clear(); }

    auto begin() { return entries_.begin(); }
    auto end() { return entries_.end(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    std::vector<std::pair<std::string, Value>> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

// Texts by key: the interface texts and a language file's.
using TextMap = OrderedMap<Text>;
