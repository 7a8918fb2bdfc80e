-- The table Brisolant delivers its records to, for a site that creates it itself and gives the
-- program's database user INSERT alone:
--   psql -d depot -f schema.sql
--   GRANT INSERT, SELECT ON scan_records TO brisolant;
-- The program creates the same table when it is missing and it has the right to.
CREATE TABLE IF NOT EXISTS scan_records (
    station text NOT NULL,
    seq bigint NOT NULL,
    arrived_at timestamptz NOT NULL,
    device text,
    length numeric,
    width numeric,
    height numeric,
    gross_weight numeric,
    dim_weight numeric,
    dim_factor numeric,
    length_unit text,
    weight_unit text,
    barcode text,
    operator_text text,
    line text NOT NULL,
    recorded_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (station, seq)
);
