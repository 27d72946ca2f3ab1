#pragma once

// Seeded property tests: CI runs a fixed range of seeds; a longer run by
// hand sets, in the environment,
//   VORNA_PROPERTY_SEEDS       the number of seeds,
//   VORNA_PROPERTY_FIRST_SEED  the first one (0 by default),
//   VORNA_PROPERTY_THREADS     the most pool threads a conversion may use
//                              (no limit by default; 1 runs everything on
//                              the calling thread).
// Header only: it needs the task layer, which links oneTBB.

#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <conversion/common/tasks.h>
#include <vorna/basic/common.h>
#include <vorna/conversion/conversion_model.h>

#include <support/block_fixtures.h>

namespace vorna
{
    namespace test
    {
        inline index_t environment_number( const char* name, index_t fallback )
        {
            const char* text = std::getenv( name );
            return text ? static_cast< index_t >(
                              std::strtoul( text, nullptr, 10 ) )
                        : fallback;
        }

        /// Runs check(seed) for the seeds [first, first + nb_seeds), with
        /// the logger quiet and the thread limit of the environment; check
        /// returns what went wrong, empty when the case is sound. Each
        /// unsound seed is one failure.
        template < typename Check >
        void expect_sound_seeds( index_t first,
                                 index_t nb_seeds,
                                 const Check& check )
        {
            ConversionModel::initialize();
            std::unique_ptr< detail::ThreadLimit > limit;
            if( const auto threads =
                    environment_number( "VORNA_PROPERTY_THREADS", 0 ) )
            {
                limit = std::make_unique< detail::ThreadLimit >( threads );
            }
            index_t nb_unsound{ 0 };
            for( auto seed = first; seed < first + nb_seeds; seed++ )
            {
                const LogCapture quiet;
                const std::string problem = check( seed );
                if( !problem.empty() )
                {
                    nb_unsound++;
                    ADD_FAILURE() << "seed " << seed << " " << problem;
                }
            }
            EXPECT_EQ( nb_unsound, 0u );
        }

        /// expect_sound_seeds over the seeds the environment names, by
        /// default `nb_seeds` from 0.
        template < typename Check >
        void expect_sound_environment_seeds( index_t nb_seeds,
                                             const Check& check )
        {
            expect_sound_seeds(
                environment_number( "VORNA_PROPERTY_FIRST_SEED", 0 ),
                environment_number( "VORNA_PROPERTY_SEEDS", nb_seeds ),
                check );
        }
    } // namespace test
} // namespace vorna
