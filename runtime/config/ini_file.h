#pragma once
// The configuration file as a tree: a File holds Sections, a Section holds
// one SubSection per occurrence of its header, a SubSection holds Keys, a Key
// holds one SubKey per occurrence of the key line. Repetition survives at
// every level, so several agents can share one section name and a reader can
// see a key given twice. The program entry opens the file once at start;
// readers (ini_reader.h) take one subsection each.
//
// Callers open fixed paths through Platform::path themselves.

#include <istream>
#include <map>
#include <ostream>
#include <string>

#include "runtime/containers/lists.h"

namespace IniFile {

// Walks one level of the tree in file order; the default value is the end.
template <class T>
class GenericIterator {
public:
    GenericIterator() = default;
    explicit GenericIterator(T* element) : element_(element) {}

    GenericIterator& operator++() {
        if (element_) element_ = element_->get_next();
        return *this;
    }
    GenericIterator operator++(int) {
        GenericIterator old = *this;
        ++*this;
        return old;
    }
    T& operator*() const { return *element_; }
    T* operator->() const { return element_; }
    bool operator!=(GenericIterator const& o) const { return element_ != o.element_; }
    bool operator==(GenericIterator const& o) const { return element_ == o.element_; }

private:
    T* element_ = nullptr;
};

// Owns heap-allocated children kept in creation order.
template <class T>
class OwnedList : public F_dual_list<T> {
public:
    OwnedList() = default;
    ~OwnedList() { clear(); }
    void clear() {
        while (T* child = this->remove_from_head()) delete child;
    }
};

// One occurrence of a key: its value and the line it stands on.
class SubKey : public F_dual_list_item<SubKey> {
public:
    SubKey(std::string const& value, int line) : mValue(value), mLineNo(line) {}

    std::string& GetStr() { return mValue; }
    std::string const& GetStr() const { return mValue; }
    int GetLineNo() const { return mLineNo; }

    // "true", "yes", "1", "on" / "false", "no", "0", "off"; anything else
    // gives the default.
    bool GetBool(bool def) const;
    void SetBool(bool b);
    // A decimal number after optional blanks; trailing text is ignored. A
    // value that is not a number, or does not fit an int, gives the default.
    int GetInt(int def) const;
    void SetInt(int n);
    float GetFloat(float def) const;
    void SetFloat(float f);

    void Dump(std::ostream& os) const;

private:
    std::string mValue;
    int mLineNo;
};

// All occurrences of one key name within one subsection.
class Key : public F_dual_list_item<Key> {
public:
    using iterator = GenericIterator<SubKey>;

    explicit Key(std::string const& name) : mName(name) {}
    Key(Key const&) = delete;
    Key& operator=(Key const&) = delete;

    std::string const& name() const { return mName; }
    SubKey* NewSubKey(std::string const& value, int line);
    void CleanSubKeys() { subkeys_.clear(); }
    // A key absent from the file gets one empty subkey at line -1.
    void CheckEmpty();
    int GetCount() const { return int(subkeys_.count()); }
    SubKey* GetFirstSubKey();
    SubKey* GetLastSubKey();
    std::string& GetStr() { return GetFirstSubKey()->GetStr(); }

    iterator begin() const { return iterator(subkeys_.front()); }
    iterator end() const { return iterator(); }
    void Dump(std::ostream& os) const;

private:
    std::string mName;
    OwnedList<SubKey> subkeys_;
};

// One occurrence of a section header with the keys that follow it.
class SubSection : public F_dual_list_item<SubSection> {
public:
    using iterator = GenericIterator<Key>;

    explicit SubSection(int line) : mLineNo(line) {}
    SubSection(SubSection const&) = delete;
    SubSection& operator=(SubSection const&) = delete;

    // The key of that name, created empty when absent.
    Key& operator[](std::string const& name);
    Key* NewKey(std::string const& name);
    SubKey* NewSubKey(std::string const& name, std::string const& value, int line);
    void CleanKeys();
    int GetLineNo() const { return mLineNo; }
    int GetKeyCount() const { return int(keys_.count()); }

    iterator begin() const { return iterator(keys_.front()); }
    iterator end() const { return iterator(); }
    void Dump(std::ostream& os) const;

private:
    int mLineNo;
    OwnedList<Key> keys_;
    std::map<std::string, Key*> by_name_;
};

// All occurrences of one section name.
class Section : public F_dual_list_item<Section> {
public:
    using iterator = GenericIterator<SubSection>;

    explicit Section(std::string const& name) : mName(name) {}
    Section(Section const&) = delete;
    Section& operator=(Section const&) = delete;

    std::string const& name() const { return mName; }
    SubSection* NewSubSection(int line);
    void CleanSubSections() { subsections_.clear(); }
    // A section absent from the file gets one empty subsection at line -1.
    void CheckEmpty();
    int GetSubSectionCount() const { return int(subsections_.count()); }

    iterator begin() const { return iterator(subsections_.front()); }
    iterator end() const { return iterator(); }
    void Dump(std::ostream& os) const;

private:
    std::string mName;
    OwnedList<SubSection> subsections_;
};

class File {
public:
    using iterator = GenericIterator<Section>;

    File() = default;
    explicit File(std::string const& name) { Open(name); }
    File(File const&) = delete;
    File& operator=(File const&) = delete;
    ~File() { Close(); }

    // True when the file could be opened, whatever it holds.
    bool Open(std::string const& name);
    void IntOpenStream(std::istream& in);
    void Close();
    void Sync() {}
    bool IsOpen() const { return open_; }
    std::string const& GetFileName() const { return mFileName; }

    // The section of that name, created empty when absent.
    Section& operator[](std::string const& name);
    Section* NewSection(std::string const& name);
    SubSection* NewSubSection(std::string const& name, int line);
    void CleanSections();
    int GetSectionCount() const { return int(sections_.count()); }

    iterator begin() const { return iterator(sections_.front()); }
    iterator end() const { return iterator(); }
    void Dump(std::ostream& os) const;

    friend std::istream& operator>>(std::istream& in, File& file);

private:
    std::string mFileName;
    bool open_ = false;
    OwnedList<Section> sections_;
    std::map<std::string, Section*> by_name_;
};

std::istream& operator>>(std::istream& in, File& file);

}  // namespace IniFile
