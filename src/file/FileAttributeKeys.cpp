#include "file/FileAttributeKeys.h"

#include "base/BaseString.h"
#include "base/InternString.h"
#include "base/NeverDestroyed.h"

namespace {

enum ConstantIndex {
    AccessDate, CreationDate, ModificationDate, Name, Size, Type, Context, PackageOption,
    Directory, Regular, Link, Special,
};

BaseString* constant(ConstantIndex index) {
    using Key = NeverDestroyed<BaseString>;
    static Key strings[] = {
        Key("fa_adate"_lit), Key("fa_cdate"_lit), Key("fa_mdate"_lit), Key("fa_name"_lit),
        Key("fa_size"_lit),  Key("fa_type"_lit),  Key("fa_ctx"_lit),   Key("fo_pk"_lit),
        Key("ft_dir"_lit),   Key("ft_reg"_lit),   Key("ft_lnk"_lit),   Key("ft_spc"_lit),
    };
    return strings[index].get();
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
