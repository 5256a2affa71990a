// Helpers for the records shared with front ends by layout (lxniccfg.h):
// allocation with the C allocator, zero-filled, and release with free.
#pragma once

#include <cstdlib>
#include <new>
#include <string_view>
#include <type_traits>

#include "lxniccfg.h"
#include "util/compact_text.h"
#include "util/dual_string.h"

namespace lxniccfg {

// A zero-filled record from the C allocator; throws std::bad_alloc.
// (Zeroed by value-initialisation rather than calloc: for records this small
// the allocator's own zeroing costs more than the few stores.)
template <class Record>
Record *NewRecord() {
    static_assert(std::is_trivial_v<Record>, "records cross the C interface as plain data");
    void *memory = std::malloc(sizeof(Record));
    if (!memory) throw std::bad_alloc();
    return ::new (memory) Record{};
}

// Owns a C record until it is handed out with release().
template <class Record, void (*Free)(Record *)>
class RecordHolder {
public:
    explicit RecordHolder(Record *record = nullptr) : record_(record) {}
    ~RecordHolder() {
        if (record_) Free(record_);
    }
    RecordHolder(const RecordHolder &) = delete;
    RecordHolder &operator=(const RecordHolder &) = delete;
    Record *get() const { return record_; }
    Record *operator->() const { return record_; }
    Record *release() {
        Record *r = record_;
        record_ = nullptr;
        return r;
    }

private:
    Record *record_;
};

// Releases one PanelEntry and every text it holds (not the entries after it).
void FreePanelEntry(PanelEntry *entry);
// Releases a whole PanelEntry list.
void FreePanelList(PanelEntry *head);
// Releases a DependencyChange list (not the entries it points to).
void FreeDependencyChanges(DependencyChange *head);

using PanelEntryHolder = RecordHolder<PanelEntry, FreePanelEntry>;
using PanelListHolder = RecordHolder<PanelEntry, FreePanelList>;

// Appends entries at the tail of a list in constant time.
template <class Record>
class ListBuilder {
public:
    void append(Record *record) {
        record->next = nullptr;
        if (tail_) tail_->next = record;
        else head_ = record;
        tail_ = record;
    }
    Record *head() const { return head_; }
    Record *release() {
        Record *h = head_;
        head_ = tail_ = nullptr;
        return h;
    }

private:
    Record *head_ = nullptr;
    Record *tail_ = nullptr;
};

// A malloc'ed copy of a text, or nullptr for none.
inline lx_wchar *CopyText(const DualString &text) { return text.wideCopy(); }
inline lx_wchar *CopyText(const CompactText &text) { return text.wideCopy(); }
lx_wchar *CopyText(const lx_wchar *text);

// Replaces a text field, releasing its old text.
inline void SetText(lx_wchar *&field, lx_wchar *text) {
    std::free(field);
    field = text;
}

}  // namespace lxniccfg
