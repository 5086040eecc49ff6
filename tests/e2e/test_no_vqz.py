"""Without an archive in its working folder the program says so and ends with 0."""

import os

import e2e

NO_VQZ = "No VQZ found! Did you unpack the ZIP correctly?"


class NoArchive(e2e.BrivetTestCase):
    def assert_no_vqz_box(self, result):
        self.assertFalse(result.timed_out, result)
        self.assertEqual(result.boxes, [NO_VQZ], result)
        self.assertEqual(result.exit_code, 0, result)

    def test_empty_folder(self):
        self.assert_no_vqz_box(self.run_brivet(timeout=30))

    def test_folder_without_a_vqz_file(self):
        # The archive still zipped, and names that only resemble an archive's.
        for name in ("demo.zip", "vqz", "demo.vqz.txt", "demo.vq"):
            with open(os.path.join(self.workdir, name), "wb") as f:
                f.write(b"not an archive")
        self.assert_no_vqz_box(self.run_brivet(timeout=30))


if __name__ == "__main__":
    e2e.main()
