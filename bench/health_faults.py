#!/usr/bin/env python3
"""Recall and precision of the session health findings against the simulator's injected faults.

For every fault alone, every pair of faults and a clean session, over several seeds, writes a
scenario (the default floor walked at head height with tremor: a random walk, or the example
scenarios' circle), runs
`orbtool health --json` on it and checks the report against the ground truth of the scenario:

  recall     the fault is named, with the right detail: the covered marker's index, a stray
             light within 5 cm of each lamp (called steady or flickering as it is), the inertial
             lag within 1 ms;
  precision  a clean session gives no finding, and a faulty one no finding beyond its faults.

Prints one row per case and a summary; exits 1 when any check failed.

    bench/health_faults.py [--orbtool build/bin/orbtool] [--seconds 20] [--seeds 5]
                           [--walk randomWalk|circle] [--alone] [--keep FOLDER]
"""

import argparse
import itertools
import json
import math
import os
import subprocess
import sys
import tempfile
import time

# Per seed (index 0..4, repeated beyond): where each fault is and how strong. The lamps stand on
# the floor (the markers' plane) at least 0.3 m from every marker of the default floor; the
# covered markers are in view for most of the walk.
STEADY_LAMPS = [(1.2, -0.8), (-0.6, -0.3), (1.6, 0.2), (0.6, 1.2), (0.0, -0.5)]
FLICKERING_LAMPS = [(-1.1, 0.4), (1.6, 0.2), (0.0, -0.5), (-0.6, -0.3), (1.2, -0.8)]
COVERED_MARKERS = [4, 3, 24, 14, 6]
LOST_FRAMES = [0.03, 0.02, 0.05, 0.01, 0.03]
INERTIAL_GAPS = [(1.0, 30), (0.5, 60), (2.0, 20), (1.0, 100), (0.3, 40)]
LAGS_MS = [7.0, -6.0, 10.0, 5.0, -9.0]
EXPOSURE_GAINS = [40.0, 30.0, 60.0, 40.0, 100.0]

FAULTS = ["covered", "lamp", "flickeringLamp", "lostFrames", "inertialGaps", "lag", "overexposure"]
EXPECTED_KIND = {
    "covered": "MarkerRarelyMatched",
    "lamp": "StrayLight",
    "flickeringLamp": "StrayLight",
    "lostFrames": "LostFrames",
    "inertialGaps": "InertialGaps",
    "lag": "InertialLag",
    "overexposure": "SaturatedBlobs",
}
LAMP_TOLERANCE_M = 0.05
LAG_TOLERANCE_MS = 1.0


def pick(values, seed_index):
    return values[seed_index % len(values)]


WALKS = {
    # A person's walk: smooth random path and heading with tremor.
    "randomWalk": {"kind": "randomWalk", "centre": [0, 1.65, 0], "radius": 0.8, "speed": 0.3, "turnRate": 0.4,
                   "jitter": True},
    # The example scenarios' walk: a circle of 1 m at an even pace, with tremor.
    "circle": {"kind": "circle", "centre": [0, 1.68, 0], "radius": 1.0, "period": 12, "jitter": True},
}


def tracker(faults, seed_index, walk):
    """The tracker of the scenario with the given faults injected."""
    device = {"handle": 2, "parent": 1, "kind": "tracker", "frameRate": 200, "trajectory": WALKS[walk]}
    injected = {}
    lamps = []
    if "covered" in faults:
        injected["covered"] = [pick(COVERED_MARKERS, seed_index)]
    if "lamp" in faults:
        x, z = pick(STEADY_LAMPS, seed_index)
        lamps.append({"position": [x, 0.0, z], "brightness": 3})
    if "flickeringLamp" in faults:
        x, z = pick(FLICKERING_LAMPS, seed_index)
        lamps.append({"position": [x, 0.0, z], "brightness": 3, "flickerHz": 7})
    if lamps:
        injected["lamps"] = lamps
    if "lostFrames" in faults:
        injected["lostFrames"] = pick(LOST_FRAMES, seed_index)
    if "inertialGaps" in faults:
        per_second, samples = pick(INERTIAL_GAPS, seed_index)
        injected["inertialGaps"] = {"perSecond": per_second, "samples": samples}
    if "overexposure" in faults:
        injected["exposureGain"] = pick(EXPOSURE_GAINS, seed_index)
    if "lag" in faults:
        device["imuDelayMs"] = pick(LAGS_MS, seed_index)
    if injected:
        device["faults"] = injected
    return device


def scenario(faults, seed, seed_index, walk):
    return {"clock": "fast", "seed": seed,
            "devices": [{"handle": 1, "kind": "adapter"}, tracker(faults, seed_index, walk)]}


def check(faults, seed_index, report):
    """(names for each fault: bool, unexpected findings: list of kinds, figures: dict)."""
    findings = report.get("findings", [])
    named = {}
    figures = {}
    claimed = set()  # indices of findings that some injected fault explains

    def first(kind, accept=lambda f: True):
        for i, f in enumerate(findings):
            if f["kind"] == kind and i not in claimed and accept(f):
                claimed.add(i)
                return f
        return None

    for fault in faults:
        kind = EXPECTED_KIND[fault]
        if fault == "covered":
            marker = pick(COVERED_MARKERS, seed_index)
            named[fault] = first(kind, lambda f: f.get("marker") == marker) is not None
        elif fault in ("lamp", "flickeringLamp"):
            x, z = pick(STEADY_LAMPS if fault == "lamp" else FLICKERING_LAMPS, seed_index)
            word = "steady" if fault == "lamp" else "flickering"

            def distance(f):
                p = f.get("position")
                return math.dist((p["x"], p["y"], p["z"]), (x, 0.0, z)) if p else math.inf

            near = [f for i, f in enumerate(findings)
                    if f["kind"] == kind and i not in claimed and distance(f) <= LAMP_TOLERANCE_M]
            found = first(kind, lambda f: f in near and word in f["text"])
            named[fault] = found is not None
            if near:
                figures[fault + "ErrorCm"] = 100 * min(distance(f) for f in near)
        elif fault == "lag":
            truth = pick(LAGS_MS, seed_index)
            lag = report.get("lag", {})
            measured = lag.get("milliseconds") if lag.get("found") else None
            if measured is not None:
                figures["lagErrorMs"] = abs(measured - truth)
            named[fault] = (first(kind) is not None and measured is not None and
                            abs(measured - truth) <= LAG_TOLERANCE_MS)
        else:
            found = first(kind)
            named[fault] = found is not None
            if fault == "lostFrames" and found is not None:
                figures["lostShare"] = found.get("value")
    # A stray light near a lamp that the checks above did not claim (a second cluster of the
    # same lamp) is still the lamp's doing.
    unexpected = []
    for i, f in enumerate(findings):
        if i in claimed:
            continue
        if f["kind"] == "StrayLight" and any(fault in faults for fault in ("lamp", "flickeringLamp")):
            p = f.get("position")
            lamps = []
            if "lamp" in faults:
                lamps.append(pick(STEADY_LAMPS, seed_index))
            if "flickeringLamp" in faults:
                lamps.append(pick(FLICKERING_LAMPS, seed_index))
            if p and any(math.dist((p["x"], p["z"]), lamp) < 0.3 for lamp in lamps):
                continue
        unexpected.append(f["kind"])
    return named, unexpected, figures


def run(orbtool, path, seconds):
    result = subprocess.run([orbtool, "health", "--scenario", path, "--seconds", str(seconds), "--clock", "fast",
                             "--json"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"orbtool health failed ({result.returncode}) on {path}")
    return json.loads(result.stdout)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orbtool", default=os.path.join(os.path.dirname(__file__), "..", "build", "bin", "orbtool"))
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--seeds", type=int, default=5)
    parser.add_argument("--walk", choices=sorted(WALKS), default="randomWalk")
    parser.add_argument("--alone", action="store_true", help="only the clean case and each fault alone")
    parser.add_argument("--keep", help="folder to keep the scenarios and reports in")
    args = parser.parse_args()

    cases = [()] + [(f,) for f in FAULTS]
    if not args.alone:
        cases += list(itertools.combinations(FAULTS, 2))
    folder = args.keep or tempfile.mkdtemp(prefix="health-faults-")
    os.makedirs(folder, exist_ok=True)

    print(f"{len(cases)} cases x {args.seeds} seeds, {args.seconds:g} s of {args.walk} each; "
          f"load {os.getloadavg()[0]:.2f}")
    print(f"{'case':<30} {'named':>9} {'unexpected':<28} figures")
    started = time.time()
    total_named = total_faults = clean_runs = clean_quiet = extra_runs = 0
    worst = {"lampErrorCm": 0.0, "lagErrorMs": 0.0}
    failures = []
    for case in cases:
        named_count = 0
        unexpected_all = []
        figures_all = {}
        for seed_index in range(args.seeds):
            seed = seed_index + 1
            name = ("+".join(case) or "clean") + f"-seed{seed}"
            path = os.path.join(folder, name + ".json")
            with open(path, "w") as out:
                json.dump(scenario(case, seed, seed_index, args.walk), out, indent=1)
            report = run(args.orbtool, path, args.seconds)
            if args.keep:
                with open(os.path.join(folder, name + ".report.json"), "w") as out:
                    json.dump(report, out, indent=1)
            named, unexpected, figures = check(case, seed_index, report)
            named_count += sum(named.values())
            unexpected_all += unexpected
            for key, value in figures.items():
                figures_all.setdefault(key, []).append(value)
            if unexpected:
                extra_runs += 1
            for fault, ok in named.items():
                if not ok:
                    failures.append(f"{name}: {fault} not named as expected; findings "
                                    f"{[f['text'] for f in report.get('findings', [])]}")
            if unexpected:
                failures.append(f"{name}: unexpected findings {unexpected}: "
                                f"{[f['text'] for f in report.get('findings', [])]}")
            if not case:
                clean_runs += 1
                clean_quiet += not report.get("findings")
        total_named += named_count
        total_faults += len(case) * args.seeds
        shown = []
        for key, values in sorted(figures_all.items()):
            if key.endswith("ErrorCm"):
                worst["lampErrorCm"] = max(worst["lampErrorCm"], max(values))
            if key == "lagErrorMs":
                worst["lagErrorMs"] = max(worst["lagErrorMs"], max(values))
            shown.append(f"{key} max {max(values):.3g}")
        label = "+".join(case) or "clean"
        named_text = f"{named_count}/{len(case) * args.seeds}" if case else "-"
        unexpected_text = ",".join(sorted(set(unexpected_all))) or "none"
        if len(unexpected_all):
            unexpected_text = f"{len(unexpected_all)}: {unexpected_text}"
        print(f"{label:<30} {named_text:>9} {unexpected_text:<28} {'; '.join(shown)}", flush=True)

    runs = len(cases) * args.seeds
    print()
    print(f"recall: {total_named}/{total_faults} injected faults named "
          f"({100.0 * total_named / max(total_faults, 1):.1f} %)")
    print(f"precision: {clean_quiet}/{clean_runs} clean sessions without a finding; "
          f"{runs - extra_runs}/{runs} sessions without a finding beyond their faults")
    print(f"worst lamp position error {worst['lampErrorCm']:.2f} cm (limit 5), "
          f"worst lag error {worst['lagErrorMs']:.2f} ms (limit 1)")
    print(f"{runs} runs in {time.time() - started:.0f} s; load {os.getloadavg()[0]:.2f}; scenarios in {folder}")
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
