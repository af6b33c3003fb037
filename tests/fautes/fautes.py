#!/usr/bin/env python3
"""Applies, one at a time, the faults listed in liste.txt to the sources,
rebuilds, runs the tests, and says which faults the tests catch.

Each fault is four lines in liste.txt, then a blank line:
    file            path from the top of the repository
    before          text that occurs exactly once in that file
    after           what it becomes
    # description   what the fault breaks
"\\n" in before/after stands for a line break. Usage, from the top of the
repository, after a build in build/:
    python3 tests/fautes/fautes.py [number ...]
FAUTES_EXCLURE=regex leaves the matching tests out (ctest -E), for a quick
run that skips the slow whole-medium test.
"""
import os
import pathlib
import re
import subprocess
import sys

RACINE = pathlib.Path(__file__).resolve().parents[2]
BUILD = RACINE / "build"


def fautes():
    blocs = (RACINE / "tests/fautes/liste.txt").read_text(encoding="utf-8").split("\n\n")
    for bloc in blocs:
        lignes = [l for l in bloc.splitlines() if l.strip()]
        if not lignes or lignes[0].startswith("#!"):
            continue
        fichier, avant, apres, description = lignes
        yield fichier, avant.replace("\\n", "\n"), apres.replace("\\n", "\n"), description.lstrip("# ")


def lancer(*commande):
    r = subprocess.run(commande, cwd=RACINE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                       env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    # ctest names the failed tests after "The following tests FAILED:"; they say who caught the fault.
    echecs = re.findall(r"^\s*\d+ - (\S+)", r.stdout.split("tests FAILED:")[-1], re.M) if r.returncode else []
    return r.returncode, echecs


def main():
    choisies = {int(a) for a in sys.argv[1:]}
    attrapees, total = 0, 0
    for numero, (fichier, avant, apres, description) in enumerate(fautes(), 1):
        if choisies and numero not in choisies:
            continue
        chemin = RACINE / fichier
        texte = chemin.read_text(encoding="utf-8")
        if texte.count(avant) != 1:
            print(f"{numero:2} introuvable   {fichier}: {description}")
            continue
        total += 1
        try:
            chemin.write_text(texte.replace(avant, apres), encoding="utf-8")
            echecs = []
            if lancer("cmake", "--build", str(BUILD), f"-j{os.cpu_count()}")[0] != 0:
                verdict = "ne compile pas"
            else:
                exclure = ["-E", os.environ["FAUTES_EXCLURE"]] if os.environ.get("FAUTES_EXCLURE") else []
                code, echecs = lancer("ctest", "--test-dir", str(BUILD), f"-j{os.cpu_count()}", "--timeout", "120", *exclure)
                verdict = "attrapée" if code else "MANQUÉE"
                attrapees += bool(code)
        finally:
            chemin.write_text(texte, encoding="utf-8")
        print(f"{numero:2} {verdict:14} {fichier}: {description}", flush=True)
        if echecs:
            print("   par " + " ".join(echecs), flush=True)
    lancer("cmake", "--build", str(BUILD), f"-j{os.cpu_count()}")
    print(f"{attrapees} fautes attrapées sur {total}")
    return 0 if attrapees == total else 1


if __name__ == "__main__":
    sys.exit(main())
