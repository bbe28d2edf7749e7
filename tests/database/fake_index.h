// An index table in memory for query tests and benchmarks: sorted keys (ASCII case folded),
// tags per entry, a name and a language.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "database/index_query.h"

class FakeIndex : public IndexSource {
public:
    // Keys must be given in order.
    explicit FakeIndex(std::vector<std::string> keys, const char* name = "main")
        : keys_(std::move(keys)), name_(name) {}

    void SetTag(uint32_t entry, uint32_t tag, std::vector<uint32_t> values) {
        tags_[{entry, tag}] = std::move(values);
    }
    void SetHeadword(uint32_t entry, const std::string& text) { heads_[entry] = text; }
    uint32_t language = 9;

    uint32_t EntryCount() const override { return static_cast<uint32_t>(keys_.size()); }
    bool Key(uint32_t entry, String& out) const override {
        if (entry >= keys_.size()) return false;
        out.Release();
        out.AppendAscii(keys_[entry].c_str());
        return true;
    }
    int32_t LowerBound(const String& key) const override {
        std::string k;
        for (int32_t i = 0; i < key.Length(); ++i) k += static_cast<char>(key[i]);
        auto it = std::lower_bound(
            keys_.begin(), keys_.end(), k, [](const std::string& a, const std::string& b) {
                String x, y;
                x.AppendAscii(a.c_str());
                y.AppendAscii(b.c_str());
                return SqlMatch::Compare(x.Data(), x.Length(), y.Data(), y.Length()) < 0;
            });
        return it == keys_.end() ? -1 : static_cast<int32_t>(it - keys_.begin());
    }
    bool TagValues(uint32_t entry, uint32_t tag, std::vector<uint32_t>& out) const override {
        auto it = tags_.find({entry, tag});
        if (it == tags_.end()) return false;
        out = it->second;
        return true;
    }
    bool Headword(uint32_t entry, String& out) const override {
        auto it = heads_.find(entry);
        if (it == heads_.end()) return Key(entry, out);
        out.Release();
        out.AppendAscii(it->second.c_str());
        return true;
    }
    bool Name(String& out) const override {
        out.Release();
        out.AppendAscii(name_.c_str());
        return true;
    }
    uint32_t Language() const override { return language; }

private:
    std::vector<std::string> keys_;
    std::string name_;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint32_t>> tags_;
    std::map<uint32_t, std::string> heads_;
};

// Answers "table=<name>" and "tableid=<n>" designations from a list of tables.
class FakeBook : public IndexSourceResolver {
public:
    std::vector<FakeIndex*> tables;  // one reference each
    ~FakeBook() {
        for (FakeIndex* t : tables) t->Release();
    }
    IndexSource* OpenIndex(const String& designation) override {
        for (size_t i = 0; i < tables.size(); ++i) {
            String name, want;
            tables[i]->Name(name);
            want.AppendAscii("table=");
            want.Append(name);
            String id;
            id.AppendAscii("tableid=");
            id.AppendUnsigned(i, 10);
            if (designation == want || designation == id) {
                tables[i]->AddRef();
                return tables[i];
            }
        }
        return nullptr;
    }
};
