// Checks, before any byte is written, that an object graph can travel in the record form: every member
// is of a kind the form knows (no null slots; files only when they exist; package indexes only with an
// entry list), no value is one the form cannot carry (the most negative integer, the one unencodable
// real), no container holds itself, and nesting stays within what a reader accepts. A graph that fails is
// not written at all, so a peer never receives bytes it cannot parse.
#pragma once

class BaseObject;

constexpr int SerializerMaxDepth = 64;

bool isWritableGraph(const BaseObject* root);
