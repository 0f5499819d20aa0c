#!/usr/bin/env python3
"""The layer check, run as make runs it: it passes on this clone, and on a small tree of its own it refuses
an include of a folder above the including one, a folder left out of the order, and a README that states
no order."""
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

CLONE = Path(__file__).resolve().parents[2]
CHECKER = CLONE / "tools" / "check_layers.py"
ORDER_LINE = "Layers, lowest first: `platform`, `base`, `io`. Each folder includes only those before it.\n"


def run_checker(root):
    return subprocess.run([sys.executable, str(CHECKER), str(root)], capture_output=True, text=True)


class LayerCheck(unittest.TestCase):
    def make_tree(self, files, readme=ORDER_LINE):
        root = Path(tempfile.mkdtemp(prefix="layers-"))
        self.addCleanup(shutil.rmtree, root)
        (root / "README.md").write_text("# A clone\n\n## Layout\n\n" + readme)
        for name, text in files.items():
            path = root / "src" / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        return root

    def test_this_clone_passes(self):
        result = run_checker(CLONE)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_includes_of_own_and_lower_folders_pass(self):
        root = self.make_tree({
            "platform/Socket.h": "#pragma once\n#include <cstdint>\n",
            "base/Object.h": '#pragma once\n#include "platform/Socket.h"\n',
            "io/Stream.cpp": '#include "io/Stream.h"\n#include "base/Object.h"\n#include "Beside.h"\n',
        })
        result = run_checker(root)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_include_of_a_higher_folder_fails_naming_file_and_line(self):
        root = self.make_tree({
            "base/Object.cpp": '#include "base/Object.h"\n\n#include "io/Stream.h"\n',
            "io/Stream.h": "#pragma once\n",
        })
        result = run_checker(root)
        self.assertEqual(result.returncode, 1)
        self.assertIn("src/base/Object.cpp:3", result.stdout)
        self.assertIn("io/Stream.h", result.stdout)

    def test_folder_missing_from_the_order_fails(self):
        root = self.make_tree({"extra/Thing.h": '#pragma once\n#include "base/Object.h"\n',
                               "base/Object.h": "#pragma once\n"})
        result = run_checker(root)
        self.assertEqual(result.returncode, 1)
        self.assertIn("src/extra/", result.stdout)

    def test_readme_without_an_order_fails(self):
        root = self.make_tree({"base/Object.h": "#pragma once\n"}, readme="No order here.\n")
        result = run_checker(root)
        self.assertEqual(result.returncode, 1)
        self.assertIn("no layer order", result.stdout)


if __name__ == "__main__":
    unittest.main()
