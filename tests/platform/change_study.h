// The small study the change tests work on: a link data base in the working
// directory, two storm events' model files in the data directory "data", the
// history log and a piece of an earlier split of it.
#pragma once

#include "support/temporary_directory.h"

namespace velm::test {

inline void put_change_study()
{
    TemporaryDirectory::put("AB0101ZZ.ZLL", "old links\r\n");
    TemporaryDirectory::put("data/AB0101ZZ.Z11", "old event 1\r\n");
    TemporaryDirectory::put("data/AB0101ZZ.Z12", "old event 2\r\n");
    TemporaryDirectory::put("ABHISTZZ.DAT", "an earlier entry\r\n");
    TemporaryDirectory::put("data/ABHISTZZ.002", "a piece of an earlier split\r\n");
}

}  // namespace velm::test
