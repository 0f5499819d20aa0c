// The lock rules of the code, in a form clang's thread-safety analysis (-Wthread-safety) checks on every
// build that asks for it (make check-locks): which lock guards a field (GUARDED_BY, PT_GUARDED_BY for what a
// pointer points to), which lock a function expects held (REQUIRES) or must not be called with
// (EXCLUDES), and what a lock type does (CAPABILITY, SCOPED_CAPABILITY, ACQUIRE, RELEASE, ...). Other
// compilers (g++, MinGW) see nothing of them.
//
// NO_THREAD_SAFETY_ANALYSIS turns the analysis off for one function; each use says on its line why the
// analysis cannot follow that function.
#pragma once

#if defined(__clang__)
#define THREAD_ANNOTATION(x) __attribute__((x))
#else
#define THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) THREAD_ANNOTATION(assert_capability(x))
#define RETURN_CAPABILITY(x) THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS THREAD_ANNOTATION(no_thread_safety_analysis)
