"""The set-up's package installs against a mirror that fails (scripts/apt-install.sh and
scripts/install-windows-deps.sh), with apt-get, dpkg, dpkg-query, sudo and sleep replaced by fakes
that do what each case's apt would and note every call."""
import os
import shutil
import stat
import subprocess
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
FETCH_FAILED = "E: Failed to fetch http://mirror/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
UNMET = "E: Unable to correct problems, you have held broken packages."

# apt-get answers each call with the next line of its script for that command (update or install):
# "ok", "fetch" (a failed fetch) or "unmet" (a package that cannot be installed); the last line
# stands for every later call. The other fakes only note their calls.
FAKE_APT = """#!/bin/bash
echo "apt-get $*" >>"$FAKE_DIR/calls"
l_Command=update
[[ " $* " == *" install "* ]] && l_Command=install
l_Count=$(grep -c "^apt-get.* $l_Command" "$FAKE_DIR/calls")
l_Answer=$(sed -n "${l_Count}p" "$FAKE_DIR/$l_Command")
[ -n "$l_Answer" ] || l_Answer=$(tail -1 "$FAKE_DIR/$l_Command")
case "$l_Answer" in
  ok) exit 0 ;;
  fetch) echo "%s" >&2; exit 100 ;;
  unmet) echo "%s" >&2; exit 100 ;;
esac
""" % (FETCH_FAILED, UNMET)
FAKES = {
    "apt-get": FAKE_APT,
    "dpkg": '#!/bin/bash\necho "dpkg $*" >>"$FAKE_DIR/calls"\n',
    "dpkg-query": "#!/bin/bash\nexit 1\n",  # nothing is installed
    "sudo": '#!/bin/bash\nexec "$@"\n',
    "sleep": '#!/bin/bash\necho "sleep $*" >>"$FAKE_DIR/calls"\n',
}


class AptInstall(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.bin = os.path.join(self.dir, "bin")
        os.mkdir(self.bin)
        for l_Name, l_Text in FAKES.items():
            l_Path = os.path.join(self.bin, l_Name)
            with open(l_Path, "w") as l_File:
                l_File.write(l_Text)
            os.chmod(l_Path, os.stat(l_Path).st_mode | stat.S_IXUSR)
        # A tree of the scripts alone, so that what they leave under build/ stays in it.
        self.tree = os.path.join(self.dir, "tree")
        shutil.copytree(os.path.join(ROOT, "scripts"), os.path.join(self.tree, "scripts"))

    def tearDown(self):
        shutil.rmtree(self.dir)

    def Run(self, p_Script, p_Update, p_Install, *p_Args):
        """(exit status, output, calls) of p_Script with apt-get's answers p_Update and p_Install."""
        for l_Command, l_Answers in (("update", p_Update), ("install", p_Install)):
            with open(os.path.join(self.dir, l_Command), "w") as l_File:
                l_File.write("\n".join(l_Answers) + "\n")
        l_Env = dict(os.environ, PATH=self.bin + os.pathsep + os.environ["PATH"], FAKE_DIR=self.dir)
        l_Run = subprocess.run([os.path.join(self.tree, "scripts", p_Script), *p_Args], cwd=self.tree,
                               env=l_Env, capture_output=True, text=True, timeout=60)
        l_CallsPath = os.path.join(self.dir, "calls")
        l_Calls = []
        if os.path.exists(l_CallsPath):
            with open(l_CallsPath) as l_File:
                l_Calls = l_File.read().splitlines()
        return l_Run.returncode, l_Run.stdout + l_Run.stderr, l_Calls

    def Count(self, p_Calls, p_Command):
        return sum(1 for l_Call in p_Calls if l_Call.startswith("apt-get") and " %s" % p_Command in l_Call)

    def test_a_failed_fetch_is_tried_again_and_a_broken_index_does_not_stop_the_install(self):
        l_Status, _, l_Calls = self.Run("apt-install.sh", ["fetch", "ok"], ["fetch", "fetch", "ok"], "zip")
        self.assertEqual(l_Status, 0)
        self.assertEqual((self.Count(l_Calls, "update"), self.Count(l_Calls, "install")), (2, 3))
        self.assertEqual([l_Call for l_Call in l_Calls if l_Call.startswith("sleep")],
                         ["sleep 20", "sleep 20", "sleep 40"])

        # An index that never comes: three updates, then the install from what was fetched.
        os.remove(os.path.join(self.dir, "calls"))
        l_Status, l_Output, l_Calls = self.Run("apt-install.sh", ["fetch"], ["ok"], "zip")
        self.assertEqual(l_Status, 0)
        self.assertEqual((self.Count(l_Calls, "update"), self.Count(l_Calls, "install")), (3, 1))
        self.assertIn("installing from the package indexes it could fetch", l_Output)

    def test_a_package_that_cannot_be_installed_fails_at_once_and_so_do_fetches_that_never_come(self):
        l_Status, l_Output, l_Calls = self.Run("apt-install.sh", ["ok"], ["unmet"], "zip")
        self.assertNotEqual(l_Status, 0)
        self.assertEqual(self.Count(l_Calls, "install"), 1)
        self.assertIn("held broken packages", l_Output)
        os.remove(os.path.join(self.dir, "calls"))
        l_Status, _, l_Calls = self.Run("apt-install.sh", ["ok"], ["fetch"], "zip")
        self.assertNotEqual(l_Status, 0)
        self.assertEqual(self.Count(l_Calls, "install"), 5)

    def test_without_32_bit_wine_the_windows_set_up_takes_the_64_bit_build_and_says_why(self):
        l_Runs32 = subprocess.run([os.path.join(self.tree, "scripts", "runs-i686.sh")], cwd=self.tree)
        if l_Runs32.returncode != 0:
            self.skipTest("this machine runs no 32-bit programs: the 64-bit build is the stage's anyway")
        # The install with the i386 packages cannot be made; the one without them can.
        l_Status, l_Output, l_Calls = self.Run("install-windows-deps.sh", ["ok"], ["unmet", "ok"])
        self.assertEqual(l_Status, 0, l_Output)
        l_Installs = [l_Call for l_Call in l_Calls if l_Call.startswith("apt-get") and " install " in l_Call]
        self.assertEqual(len(l_Installs), 2)
        self.assertEqual(self.Count(l_Calls, "update"), 1, "the lists updated once, for both installs")
        self.assertIn("wine32:i386", l_Installs[0])
        self.assertNotIn(":i386", l_Installs[1])
        self.assertIn("g++-mingw-w64-x86-64-posix", l_Installs[1])
        self.assertIn("32-bit Wine could not be installed", l_Output)
        # From then on the machine counts as one that runs no 32-bit Windows programs, and says why.
        l_Marker = os.path.join(self.tree, "build", "windows", "no-wine32")
        self.assertTrue(os.path.exists(l_Marker))
        l_Runs32 = subprocess.run([os.path.join(self.tree, "scripts", "runs-i686.sh")], cwd=self.tree,
                                  capture_output=True, text=True)
        self.assertEqual(l_Runs32.returncode, 1)
        self.assertIn("32-bit Wine could not be installed", l_Runs32.stderr)


if __name__ == "__main__":
    unittest.main()
