#!/bin/sh
# One task of a Slurm job array: converts its share of the list all.list0 (paths ending with
# a NUL, as find -print0 writes them), each PDF beside its image, and writes its JSON report.
# Submit it from the folder that holds the list; run the same array again after a failure or
# a cancel: what is done is skipped.
#SBATCH --job-name=ombrix-convert
#SBATCH --output=convert.%A_%a.log
exec ombrix-convert --null --files-from all.list0 \
    --shard "$SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT" \
    --beside-source --skip-existing --report json > "report.$SLURM_ARRAY_TASK_ID.jsonl"
