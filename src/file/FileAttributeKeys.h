// The keys and type values of a file's attribute dictionary, the description of a file on the wire.
// Module-level strings with static storage that live until the module unloads; "fa_to" and "fa_res" are
// interned strings.
#pragma once

class BaseString;

namespace FileAttributeKey {
BaseString* accessDate();        // "fa_adate"
BaseString* creationDate();      // "fa_cdate"
BaseString* modificationDate();  // "fa_mdate"
BaseString* name();              // "fa_name"
BaseString* size();              // "fa_size"
BaseString* type();              // "fa_type"
BaseString* context();           // "fa_ctx", a sub-path below the receiving directory
BaseString* resumeOffset();      // "fa_to", the offset of the first content byte sent
BaseString* resumable();         // "fa_res", the receiver continues a partial file
BaseString* packageOption();     // "fo_pk"
}  // namespace FileAttributeKey

namespace FileType {
BaseString* directory();  // "ft_dir"
BaseString* regular();    // "ft_reg"
BaseString* link();       // "ft_lnk"
BaseString* special();    // "ft_spc": anything else, a missing path included
}  // namespace FileType
