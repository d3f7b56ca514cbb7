#!/usr/bin/env python3
"""Screen-text accuracy over the screenshots in tests/fixtures/ocr (NAME.png with NAME.txt, the
known text): `quillo --ocr` beside the plain `tesseract` command on the same crops, one thread each.
Character error rate = Levenshtein distance after NFKC with all whitespace removed, divided by
the length of the truth; time = wall clock of the whole command, model loading included. A line
counts as missed when no line of the reading is within half its length of it.
    bench/ocr-accuracy.py [--quillo build/bin/quillo] [--runs 3] [--no-tesseract] [NAME...]"""
import argparse
import os
import pathlib
import statistics
import subprocess
import time
import unicodedata

ROOT = pathlib.Path(__file__).resolve().parent.parent


def normalized(text):
    return "".join(unicodedata.normalize("NFKC", text).split())


def distance(a, b):
    row = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        diagonal, row[0] = row[0], i
        for j, cb in enumerate(b, 1):
            diagonal, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, diagonal + (ca != cb))
    return row[len(b)]


def error_rate(read, truth):
    truth = normalized(truth)
    return distance(normalized(read), truth) / max(len(truth), 1)


def missed_lines(read, truth):
    lines = [normalized(line) for line in read.splitlines()] or [""]
    return sum(1 for line in truth.splitlines() if line.strip()
               and min(distance(r, normalized(line)) for r in lines) > len(normalized(line)) / 2)


def timed(command, runs):
    env = dict(os.environ, OMP_THREAD_LIMIT="1")
    times, text = [], ""
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run(command, capture_output=True, text=True, env=env)
        times.append((time.perf_counter() - start) * 1000)
        text = done.stdout
    return text, statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quillo", default=str(ROOT / "build/bin/quillo"))
    parser.add_argument("--fixtures", default=str(ROOT / "tests/fixtures/ocr"))
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--no-tesseract", action="store_true")
    parser.add_argument("--show", action="store_true", help="print each reading that has errors")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()

    readers = {"quillo": lambda png: [args.quillo, "--ocr", str(png)]}
    if not args.no_tesseract:
        readers["tesseract"] = lambda png: ["tesseract", str(png), "-", "-l", "chi_sim+eng", "--psm", "6"]
    pngs = sorted(p for p in pathlib.Path(args.fixtures).glob("*.png") if not args.names or p.stem in args.names)
    header = f"{'case':32} {'chars':>5}" + "".join(f" {name + ' CER%':>15} {'ms':>6} {'miss':>4}" for name in readers)
    print(header)
    totals = {name: ([], [], 0) for name in readers}
    for png in pngs:
        truth = png.with_suffix(".txt").read_text()
        row = f"{png.stem:32} {len(normalized(truth)):5}"
        for name, command in readers.items():
            text, ms = timed(command(png), args.runs)
            rate, missed = error_rate(text, truth), missed_lines(text, truth)
            rates, times, misses = totals[name]
            totals[name] = (rates + [rate], times + [ms], misses + missed)
            row += f" {rate * 100:15.1f} {ms:6.0f} {missed:4}"
            if args.show and rate > 0:
                row += "\n    " + name + ": " + text.strip().replace("\n", " ⏎ ")
        print(row, flush=True)
    print("-" * len(header))
    summary = f"{'mean (median ms) of ' + str(len(pngs)):32} {'':5}"
    for name, (rates, times, misses) in totals.items():
        summary += f" {statistics.mean(rates) * 100:15.2f} {statistics.median(times):6.0f} {misses:4}"
    print(summary)
    for name, (rates, _, _) in totals.items():
        print(f"{name}: {sum(1 for r in rates if r == 0)} of {len(rates)} perfect, median CER "
              f"{statistics.median(rates) * 100:.1f} %")


main()
