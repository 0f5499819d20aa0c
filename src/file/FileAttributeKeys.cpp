#include "file/FileAttributeKeys.h"

#include "base/BaseString.h"
#include "base/InternString.h"

namespace {

enum ConstantIndex {
    AccessDate, CreationDate, ModificationDate, Name, Size, Type, Context, PackageOption,
    Directory, Regular, Link, Special,
};

BaseString* constant(ConstantIndex index) {
    static BaseString strings[] = {
        BaseString("fa_adate"_lit), BaseString("fa_cdate"_lit), BaseString("fa_mdate"_lit),
        BaseString("fa_name"_lit),  BaseString("fa_size"_lit),  BaseString("fa_type"_lit),
        BaseString("fa_ctx"_lit),   BaseString("fo_pk"_lit),    BaseString("ft_dir"_lit),
        BaseString("ft_reg"_lit),   BaseString("ft_lnk"_lit),   BaseString("ft_spc"_lit),
    };
    return &strings[index];
}

}  // namespace

namespace FileAttributeKey {
BaseString* accessDate() { return constant(AccessDate); }
BaseString* creationDate() { return constant(CreationDate); }
BaseString* modificationDate() { return constant(ModificationDate); }
BaseString* name() { return constant(Name); }
BaseString* size() { return constant(Size); }
BaseString* type() { return constant(Type); }
BaseString* context() { return constant(Context); }
BaseString* resumeOffset() { return internString("fa_to"_lit); }
BaseString* resumable() { return internString("fa_res"_lit); }
BaseString* packageOption() { return constant(PackageOption); }
}  // namespace FileAttributeKey

namespace FileType {
BaseString* directory() { return constant(Directory); }
BaseString* regular() { return constant(Regular); }
BaseString* link() { return constant(Link); }
BaseString* special() { return constant(Special); }
}  // namespace FileType
