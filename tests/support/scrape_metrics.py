#!/usr/bin/env python3
"""Scrapes a Prometheus endpoint and prints what the Prometheus project's own text parser reads.

Usage: scrape_metrics.py URL
Prints one JSON object: {"families": [{"name", "type", "samples": [{"name", "labels", "value"}]}]},
a value that is not a finite number as null.
Exits 1 with the reason on standard error when the page cannot be fetched or parsed.
"""
import json
import math
import sys
import urllib.request

from prometheus_client.parser import text_string_to_metric_families


def main():
    url = sys.argv[1]
    try:
        with urllib.request.urlopen(url, timeout=10) as reply:
            text = reply.read().decode("utf-8")
        families = []
        for family in text_string_to_metric_families(text):
            families.append({
                "name": family.name,
                "type": family.type,
                "samples": [{"name": s.name, "labels": s.labels, "value": s.value if math.isfinite(s.value) else None}
                            for s in family.samples],
            })
    except Exception as error:  # the test prints the reason
        print(f"scrape of {url} failed: {error!r}", file=sys.stderr)
        return 1
    json.dump({"families": families}, sys.stdout, allow_nan=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
