#!/usr/bin/env bash
# A short form of the reliability trials (scripts/reliability): a few dozen
# kills, full disks and damaged data files, every bad input, concurrent runs.
# Usage: reliability_test.sh <mivo binary> <source dir>
exec bash "$2/scripts/reliability" --short "$1"
