#!/usr/bin/env python3
"""Time from process start to the main window's first frame drawn (the end of its first expose
event): Glimora on the simulated meter against a bare Qt main window started the same way, both
under one Xvfb display.

  xvfb-run -a -s '-screen 0 1280x800x24' python3 bench/startup_bench.py build/bench/bench_process [runs]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run_once(binary, mode, env):
    start = time.monotonic_ns()
    out = subprocess.run([binary, mode], env=env, capture_output=True, text=True, timeout=60)
    shown = int(out.stdout.strip().splitlines()[-1])
    return (shown - start) / 1e6


def main():
    binary = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    with tempfile.TemporaryDirectory() as home:
        config = os.path.join(home, "config", "Glimora")
        os.makedirs(config)
        # A stored password, so that no warning box stands before the window.
        with open(os.path.join(config, "Glimora.ini"), "w") as f:
            f.write("[Preferences]\nPassword=x\n")
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(home, "config"), HOME=home)
        bare, glimora = [], []
        run_once(binary, "bare", env)  # warm the caches
        run_once(binary, "glimora", env)
        for _ in range(runs):  # interleaved, so that machine noise hits both alike
            bare.append(run_once(binary, "bare", env))
            glimora.append(run_once(binary, "glimora", env))
    mb, mg = statistics.median(bare), statistics.median(glimora)
    print(f"bare Qt main window: median {mb:.1f} ms over {runs} runs")
    print(f"Glimora main window: median {mg:.1f} ms over {runs} runs")
    print(f"ratio: {mg / mb:.2f}x")


if __name__ == "__main__":
    main()
