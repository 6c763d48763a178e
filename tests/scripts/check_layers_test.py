"""The layer check finds links up the documented order, on the real build's graph."""
import os
import sys
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import check_layers  # noqa: E402

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(ROOT, "build")


class LayerOrder(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(ROOT, "docs", "ARCHITECTURE.md"), encoding="utf-8") as f:
            cls.order = check_layers.documented_order(f.read())
        _, libraries, edges = check_layers.link_graph(BUILD)
        _, owners, _ = check_layers.compiled_files(BUILD, libraries)
        cls.folder_of = {lib: folder for folder, lib in owners.items()}
        cls.edges = {a: {b for b in bs if b in cls.folder_of} for a, bs in edges.items() if a in libraries}

    def test_the_documented_order_is_read_bottom_first(self):
        self.assertEqual(self.order[0], "i18n")
        for lower, higher in [("platform", "comm"), ("text", "widgets"), ("widgets", "traffic"), ("comm", "app")]:
            self.assertLess(self.order.index(lower), self.order.index(higher))

    def test_the_tree_links_only_down(self):
        self.assertEqual(check_layers.order_faults(self.edges, self.folder_of, self.order), [])

    def test_a_deliberate_upward_link_fails(self):
        edges = {a: set(b) for a, b in self.edges.items()}
        edges["kestrane_platform"].add("kestrane_comm")      # a lower folder reaching up
        edges["kestrane_sending"].add("kestrane_sending_ui")  # logic reaching into its own windows
        faults = check_layers.order_faults(edges, self.folder_of, self.order)
        self.assertEqual(len(faults), 2, faults)
        self.assertIn("kestrane_platform links kestrane_comm", faults[0])
        self.assertIn("kestrane_sending links kestrane_sending_ui", faults[1])

    def test_a_library_of_an_undocumented_folder_fails(self):
        edges = dict(self.edges, kestrane_extra={"kestrane_platform"})
        folder_of = dict(self.folder_of, kestrane_extra="extra")
        faults = check_layers.order_faults(edges, folder_of, self.order)
        self.assertEqual(len(faults), 1, faults)
        self.assertIn("extra/", faults[0])


if __name__ == "__main__":
    unittest.main()
