#pragma once

// Owning handles for libpff's objects and its error texts, so that every
// path out of a reading function frees what it took.

#include <QString>

#include <libpff.h>
#include <memory>

namespace kestrel::platform::pst {

struct PffItemFree {
    void operator()(libpff_item_t* item) const { libpff_item_free(&item, nullptr); }
};
struct PffRecordSetFree {
    void operator()(libpff_record_set_t* set) const { libpff_record_set_free(&set, nullptr); }
};
struct PffRecordEntryFree {
    void operator()(libpff_record_entry_t* entry) const
    {
        libpff_record_entry_free(&entry, nullptr);
    }
};
struct PffFileFree {
    void operator()(libpff_file_t* file) const
    {
        libpff_file_close(file, nullptr);
        libpff_file_free(&file, nullptr);
    }
};

using PffItem = std::unique_ptr<libpff_item_t, PffItemFree>;
using PffRecordSet = std::unique_ptr<libpff_record_set_t, PffRecordSetFree>;
using PffRecordEntry = std::unique_ptr<libpff_record_entry_t, PffRecordEntryFree>;
using PffFile = std::unique_ptr<libpff_file_t, PffFileFree>;

// Collects the error of one libpff call and frees it.
class PffError {
public:
    PffError() = default;
    PffError(const PffError&) = delete;
    PffError& operator=(const PffError&) = delete;
    ~PffError() { libpff_error_free(&m_error); }

    libpff_error_t** out() { return &m_error; }
    // The library's first line, or empty when it said nothing.
    QString text() const;

private:
    libpff_error_t* m_error = nullptr;
};

} // namespace kestrel::platform::pst
