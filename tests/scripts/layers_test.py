#!/usr/bin/env python3
"""The layers of the program, checked on every #include of the tree.

Each file of the program belongs to one layer, by its folder and name (the same convention
cmake/Sources.cmake builds the libraries by):

  portable  models, engines, settings and the platform interfaces: no Win32 at all
  flow      the portable part of the program root (app/wizard_flow.*)
  platform  platform/win32/: the Win32 backends
  resources resources/: resource ids and the pages' private messages
  kit       app/ui/*_win32.*: dialog base, page skeleton, skin, list helpers
  pages     *_dlg.* and the other *_win32.* helpers of the subsystem folders
  program   app/*_win32.* and main: the application object

An include may point only down: a portable file includes no Win32 header (ours or the system's),
nothing includes a layer above its own, and only the program root includes the root's headers.

Run without arguments, it checks the tree above this folder and the cases below; with a folder
as argument, it checks only that folder (a copy of the tree with a planted include, say) and
exits non-zero on a forbidden include.
"""

import os
import re
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))

SUBSYSTEMS = ('app', 'platform', 'registry_archive', 'catalog', 'product_manager', 'kontakt',
              'thumbnails', 'plugins', 'relocation', 'resources')

# Which layers each layer may include. The portable layers see only portable code; every Win32
# layer sees the layers below it.
ALLOWED = {
    'portable': {'portable'},
    'flow': {'portable', 'flow'},
    'platform': {'portable', 'platform'},
    'resources': {'resources'},
    'kit': {'portable', 'platform', 'resources', 'kit'},
    'pages': {'portable', 'platform', 'resources', 'kit', 'pages'},
    'program': {'portable', 'flow', 'platform', 'resources', 'kit', 'pages', 'program'},
}
PORTABLE_LAYERS = {'portable', 'flow'}

# System headers of Windows, which portable code never includes.
WIN32_SYSTEM_HEADERS = {
    'windows.h', 'windowsx.h', 'winbase.h', 'winuser.h', 'wingdi.h', 'winreg.h', 'winnt.h',
    'winerror.h', 'winver.h', 'commctrl.h', 'commdlg.h', 'shellapi.h', 'shlobj.h', 'shlwapi.h',
    'shobjidl.h', 'knownfolders.h', 'uxtheme.h', 'vssym32.h', 'vsstyle.h', 'objbase.h',
    'ole2.h', 'oleauto.h', 'psapi.h', 'dbghelp.h', 'tlhelp32.h', 'dwmapi.h', 'richedit.h',
    'process.h', 'tchar.h',
}

# Where the layers and these rules are explained, named by every failure.
GUIDE = 'docs/architecture.md'

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(rel):
    """The layer of a file given by its path below the source folder (with forward slashes)."""
    name = os.path.basename(rel)
    stem = os.path.splitext(name)[0]
    if rel.startswith('resources/'):
        return 'resources'
    if re.fullmatch(r'app/[^/]+', rel):
        return 'program' if stem.endswith('_win32') else 'flow'
    if rel.startswith('platform/win32/'):
        return 'platform'
    if rel.startswith('app/ui/') and stem.endswith('_win32'):
        return 'kit'
    if stem.endswith('_dlg') or stem.endswith('_win32'):
        return 'pages'
    return 'portable'


def program_files(root):
    """Every C++ source and header of the program's folders, as paths below root."""
    for top in SUBSYSTEMS:
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if name.endswith(('.cpp', '.h')):
                    yield os.path.relpath(os.path.join(folder, name), root).replace(os.sep, '/')


def violations(root):
    """Each forbidden include of the tree at root, as 'file:line: text (why)'."""
    found = []
    for rel in program_files(root):
        layer = layer_of(rel)
        with open(os.path.join(root, rel), encoding='utf-8', errors='replace') as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quote, target = match.groups()
                why = None
                if quote == '<':
                    if layer in PORTABLE_LAYERS and target.lower() in WIN32_SYSTEM_HEADERS:
                        why = f'{layer} code includes the Win32 header <{target}>'
                elif target.split('/')[0] in SUBSYSTEMS:
                    target_layer = layer_of(target)
                    if target_layer not in ALLOWED[layer]:
                        why = f'{layer} code includes {target_layer} code'
                if why:
                    found.append(f'{rel}:{number}: {line.strip()} ({why})')
    return found


class TreeTest(unittest.TestCase):
    def test_the_tree_includes_only_downwards(self):
        found = violations(ROOT)
        self.assertEqual(found, [], f'includes against the layers (see {GUIDE}):\n' + '\n'.join(found))


class GuideTest(unittest.TestCase):
    def test_the_page_named_by_a_failure_exists(self):
        self.assertTrue(os.path.isfile(os.path.join(ROOT, GUIDE)), GUIDE)


class LayerOfTest(unittest.TestCase):
    def test_files_fall_in_their_layers(self):
        cases = [
            ('app/main_win32.cpp', 'program'),
            ('app/tessaly_app_win32.h', 'program'),
            ('app/wizard_flow.h', 'flow'),
            ('app/ui/page_win32.h', 'kit'),
            ('app/ui/skin_theme.h', 'portable'),
            ('app/shell/start_dlg.h', 'pages'),
            ('app/shell/start_page_text.h', 'portable'),
            ('app/settings/profile_store.h', 'portable'),
            ('plugins/dupe_finder_dlg.cpp', 'pages'),
            ('plugins/plugin_map.h', 'portable'),
            ('platform/registry.h', 'portable'),
            ('platform/win32/win32_api.h', 'platform'),
            ('resources/resource.h', 'resources'),
        ]
        for rel, layer in cases:
            with self.subTest(rel=rel):
                self.assertEqual(layer_of(rel), layer)


class PlantedIncludeTest(unittest.TestCase):
    """Small trees with one include each: the forbidden ones are found, the allowed ones not."""

    def check(self, files):
        with tempfile.TemporaryDirectory() as root:
            for rel, text in files.items():
                path = os.path.join(root, rel)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, 'w', encoding='utf-8') as out:
                    out.write(text)
            return violations(root)

    def test_forbidden_includes_are_found(self):
        cases = [
            ('plugins/plugin_map.cpp', '#include <windows.h>\n', 'Win32 header'),
            ('plugins/plugin_map.cpp', '#include <CommCtrl.h>\n', 'Win32 header'),
            ('app/wizard_flow.cpp', '#include <windows.h>\n', 'Win32 header'),
            ('catalog/catalog_model.cpp', '#include "platform/win32/win32_api.h"\n',
             'portable code includes platform'),
            ('catalog/catalog_model.cpp', '#include "app/ui/page_win32.h"\n',
             'portable code includes kit'),
            ('catalog/catalog_model.cpp', '#include "resources/page_messages.h"\n',
             'portable code includes resources'),
            ('catalog/catalog_model.cpp', '#include "app/wizard_flow.h"\n',
             'portable code includes flow'),
            ('platform/win32/win32_system.cpp', '#include "app/ui/skin_win32.h"\n',
             'platform code includes kit'),
            ('app/ui/page_win32.cpp', '#include "plugins/dupe_finder_dlg.h"\n',
             'kit code includes pages'),
            ('app/ui/page_win32.cpp', '#include "app/wizard_flow.h"\n',
             'kit code includes flow'),
            ('plugins/dupe_finder_dlg.cpp', '#include "app/tessaly_app_win32.h"\n',
             'pages code includes program'),
            ('app/shell/start_dlg.cpp', '#include "app/wizard_flow.h"\n',
             'pages code includes flow'),
            ('app/wizard_flow.cpp', '#include "app/tessaly_app_win32.h"\n',
             'flow code includes program'),
            ('resources/resource.h', '#include "app/ui/page_win32.h"\n',
             'resources code includes kit'),
        ]
        for rel, text, why in cases:
            with self.subTest(rel=rel, text=text):
                found = self.check({rel: text})
                self.assertEqual(len(found), 1, found)
                self.assertIn(why, found[0])
                self.assertTrue(found[0].startswith(rel + ':1: '), found[0])

    def test_allowed_includes_pass(self):
        cases = [
            ('plugins/plugin_map.cpp', '#include <vector>\n#include "platform/registry.h"\n'),
            ('app/wizard_flow.cpp', '#include "app/wizard_flow.h"\n'),
            ('platform/win32/win32_system.cpp', '#include <windows.h>\n'
             '#include "platform/system.h"\n'),
            ('app/ui/page_win32.cpp', '#include "resources/resource.h"\n'
             '#include "platform/win32/win32_api.h"\n#include "app/ui/skin_theme.h"\n'),
            ('plugins/dupe_finder_dlg.cpp', '#include "app/ui/page_win32.h"\n'
             '#include "product_manager/change_folder_dlg.h"\n'),
            ('app/tessaly_app_win32.cpp', '#include "app/wizard_flow.h"\n'
             '#include "plugins/dupe_finder_dlg.h"\n'),
            ('app/main_win32.cpp', '#include "app/tessaly_app_win32.h"\n'),
            # Not ours: a third-party or standard header with a folder of its own.
            ('catalog/catalog_model.cpp', '#include "pugixml.hpp"\n'),
        ]
        for rel, text in cases:
            with self.subTest(rel=rel, text=text):
                self.assertEqual(self.check({rel: text}), [])

    def test_comments_and_folders_outside_the_program_are_not_read(self):
        found = self.check({
            'catalog/catalog_model.cpp': '// #include <windows.h> is for the backends only\n',
            'tests/unit/some_test.cpp': '#include "app/tessaly_app_win32.h"\n',
        })
        self.assertEqual(found, [])


if __name__ == '__main__':
    if len(sys.argv) == 2 and not sys.argv[1].startswith('-'):
        bad = violations(os.path.abspath(sys.argv[1]))
        if bad:
            print('\n'.join(bad))
            print(f'includes must point down the layers: see {GUIDE}')
        else:
            print('every include points down the layers')
        sys.exit(1 if bad else 0)
    unittest.main()
